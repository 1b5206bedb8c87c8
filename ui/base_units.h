// The character width and line height that size the main window and the
// status-bar fields, measured from the application font; tests inject fixed
// values so that geometry does not depend on the fonts installed.
//
// Threading: GUI thread only.
#pragma once

class QFont;

struct BaseUnits {
    int X;  // average character width (mean advance of the letters)
    int Y;  // line height
};

BaseUnits MeasureBaseUnits(const QFont& font);
