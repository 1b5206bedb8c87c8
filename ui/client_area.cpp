#include "ui/client_area.h"

#include <QResizeEvent>
#include <QToolBar>

#include "ui/status_bar_widget.h"
#include "ui/view/diagram_widget.h"

ClientArea::ClientArea(AppState& state, PlatformPort& port, BaseUnits units, QWidget* parent)
    : QWidget(parent), diagram_(new DiagramWidget(state, port, units, this)) {
    setObjectName(QStringLiteral("clientArea"));
    // A light-grey window background (192, 192, 192).
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(pal);
    setAutoFillBackground(true);
}

void ClientArea::setToolBar(QToolBar* toolBar) {
    toolBar_ = toolBar;
    layoutControls();
}

void ClientArea::setStatusBar(StatusBarWidget* statusBar) {
    statusBar_ = statusBar;
    layoutControls();
}

void ClientArea::layoutControls() {
    const int w = width();
    const int h = height();
    diagram_->setGeometry(0, 0, w, h);
    diagram_->lower();
    if (toolBar_ != nullptr) {
        toolBar_->setGeometry(0, 0, w, toolBar_->sizeHint().height());
    }
    if (statusBar_ != nullptr) {
        const int barHeight = statusBar_->barHeight();
        statusBar_->setGeometry(0, h - barHeight, w, barHeight);
        statusBar_->layoutFields(w);
    }
}

void ClientArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutControls();
    diagram_->update();
}
