#include "ui/client_area.h"

#include <QPainter>
#include <QResizeEvent>
#include <QToolBar>

#include "core/app_state.h"
#include "view/toolbar_rules.h"
#include "ui/status_bar_widget.h"

ClientArea::ClientArea(AppState& state, PlatformPort& port, QWidget* parent)
    : QWidget(parent), state_(state), port_(port) {
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
    update();
}

void ClientArea::paintEvent(QPaintEvent* event) {
    (void)event;
    UpdateToolbarButtons(state_, port_);
    // Not yet: the diagram of CurrentChannel is drawn here (view/ui).
}
