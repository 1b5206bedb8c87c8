// The seven-field status bar as seven labels side by side. Widths come from
// the core (fixed at creation in units of the character width); on every
// resize the right edges are laid out again, so only field 0 changes. A text
// wider than its field (six-digit byte counters) takes the room it needs
// from field 0, and gives it back when it shrinks.
//
// Threading: GUI thread only.
#pragma once

#include <QWidget>

#include "view/status_texts.h"

class QLabel;
class QSizeGrip;

class StatusBarWidget : public QWidget {
    Q_OBJECT
public:
    StatusBarWidget(const int* widths, int count, QWidget* parent);

    void setFieldText(int field, const QString& text);
    QLabel* field(int index) const { return fields_[index]; }
    // Lays the fields out for a client area whose right edge is `clientRight`.
    void layoutFields(int clientRight);
    int barHeight() const;

private:
    int neededWidth(int field) const;

    QLabel* fields_[kStatusFieldCount];
    int widths_[kStatusFieldCount];
    int needed_[kStatusFieldCount] = {};  // of the texts the last layout placed
    int clientRight_ = -1;                // -1 until the first layout
    QSizeGrip* grip_;
};
