// The client area of the main window: everything below the menu bar. The
// toolbar lies along its top edge and the status bar along its bottom edge
// inside it, so the diagram's margins (60 at the top, 40 at the bottom) keep
// their meaning. The diagram lies under both and covers the whole area; every
// repaint of it first brings the toolbar's enabled buttons up to date.
//
// Threading: GUI thread only.
#pragma once

#include <QWidget>

#include "ui/base_units.h"

struct AppState;
struct PlatformPort;
class QToolBar;
class StatusBarWidget;
class DiagramWidget;

class ClientArea : public QWidget {
    Q_OBJECT
public:
    ClientArea(AppState& state, PlatformPort& port, BaseUnits units, QWidget* parent);

    void setToolBar(QToolBar* toolBar);
    void setStatusBar(StatusBarWidget* statusBar);
    QToolBar* toolBar() const { return toolBar_; }
    StatusBarWidget* statusBar() const { return statusBar_; }
    DiagramWidget* diagram() const { return diagram_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutControls();

    QToolBar* toolBar_ = nullptr;
    StatusBarWidget* statusBar_ = nullptr;
    DiagramWidget* diagram_;
};
