// The diagram of the current channel, covering the whole client area under
// the toolbar and the status bar (its coordinates are client coordinates).
// A paint asks the core for a finished plan and executes it with one-pixel
// pens and no antialiasing; the mouse puts the marker (left button) and
// scrolls while the right button is held, a step every 21 ms, with the
// timers' ticks held back until the button is released.
//
// Threading: GUI thread only.
#pragma once

#include <QLine>
#include <QTimer>
#include <QVector>
#include <QWidget>
#include <functional>
#include <memory>

#include "ui/base_units.h"
#include "view/diagram_navigation.h"

struct AppState;
struct PlatformPort;
struct PaintPlan;
class QPainter;

class DiagramWidget : public QWidget {
    Q_OBJECT
public:
    DiagramWidget(AppState& state, PlatformPort& port, BaseUnits units, QWidget* parent);
    ~DiagramWidget() override;

    // Draws the current state as a paint would (readouts sent, toolbar
    // rules applied), into any paint device of the widget's size.
    void paintDiagram(QPainter& painter);
    // Switched off only to compare against drawing every point.
    void setReduceColumns(bool reduce) { reduceColumns_ = reduce; }
    bool isRightHoldActive() const { return hold_.Active != 0; }

    // Holds the timers' ticks back (true) and lets the held ones run (false);
    // set by the shell.
    std::function<void(bool)> holdTicks;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void rightHoldStep();
    void endRightHold();
    void chooseLabelFont(int right, int pitch, int yScale);

    AppState& state_;
    PlatformPort& port_;
    BaseUnits units_;
    bool reduceColumns_ = true;
    std::unique_ptr<PaintPlan> plan_;
    QVector<QLine> segments_;
    RightHold hold_{};
    QTimer holdTimer_;
    int cursorShown_ = -1;
    // The Y-label font and the width of its widest label, for the room and
    // scale they were chosen for.
    QFont labelFont_;
    int labelWidth_ = 0;
    int labelFor_[3] = {-1, -1, -1};
};

// The two scrolling cursors (104 newer, 105 older): 32 x 32, hot spot (15, 14).
QCursor DiagramCursor(int id);
