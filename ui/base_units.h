// The character width and line height that size the main window, the
// status-bar fields and the diagram's fit tests, derived from the font the
// texts are drawn in (somewhat wider than it, so that readouts keep room to
// spare in their fields whatever font is installed); tests inject fixed values so that geometry does not
// depend on the fonts installed.
//
// Threading: GUI thread only.
#pragma once

class QFont;

struct BaseUnits {
    int X;  // 8 / 5.5 of the font's average character width
    int Y;  // 16 / 13 of its line height
};

BaseUnits MeasureBaseUnits(const QFont& font);
