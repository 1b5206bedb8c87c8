#include "ui/main_window.h"

#include <QAction>
#include <QBitmap>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QToolBar>

#include "core/app_state.h"
#include "core/program_names.h"
#include "ui/client_area.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/answer_text_dialog.h"
#include "ui/dialogs/channel_dialog.h"
#include "ui/dialogs/graphics_dialog.h"
#include "ui/dialogs/help_window.h"
#include "ui/dialogs/interval_dialog.h"
#include "ui/status_bar_widget.h"
#include "view/navigation_commands.h"
#include "view/toolbar_rules.h"

namespace {

constexpr int kWindowWidthUnits = 81;
constexpr int kWindowHeightUnits = 32;

struct MenuItem {
    const char* Text;  // null = separator
    int CommandId;
};

}  // namespace

MainWindow::MainWindow(AppState& state, PlatformPort& port, BaseUnits units, QWidget* parent)
    : QMainWindow(parent), state_(state), port_(port), units_(units) {
    setObjectName(QString::fromLatin1(kMainCaption));
    setWindowTitle(QStringLiteral("Linkscope"));
    createMenus();
    client_ = new ClientArea(state, port, units, this);
    setCentralWidget(client_);
    resize(kWindowWidthUnits * units.X, kWindowHeightUnits * units.Y);
}

void MainWindow::createMenus() {
    struct Popup {
        const char* Title;
        MenuItem Items[5];
        int Count;
    };
    const Popup popups[] = {
        {"&Quit", {{"E&xit", kCmdExit}}, 1},
        {"&Edit",
         {{"&Digipeater Connects", kCmdDigipeaterConnects},
          {"&Connect Interval", kCmdConnectInterval},
          {"&Graphics Settings", kCmdGraphicsSettings},
          {nullptr, 0},
          {"Edit &Answer Text", kCmdAnswerText}},
         5},
        {"&Help",
         {{"&Help", kCmdHelpEnglish}, {"H&ilfe", kCmdHelpGerman}, {"About Hop&watch...", kCmdAbout}},
         3},
    };
    for (const Popup& popup : popups) {
        QMenu* menu = menuBar()->addMenu(QString::fromLatin1(popup.Title));
        for (int i = 0; i < popup.Count; ++i) {
            const MenuItem& item = popup.Items[i];
            if (item.Text == nullptr) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromLatin1(item.Text));
            action->setData(item.CommandId);
            const int id = item.CommandId;
            connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
        }
    }
}

void MainWindow::createToolBar() {
    auto* bar = new QToolBar(client_);
    bar->setObjectName(QStringLiteral("toolBar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(kToolbarImageWidth, kToolbarImageHeight));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Buttons no larger than their 24 x 23 images, so that the whole row
    // fits the window's default width.
    bar->setStyleSheet(
        QStringLiteral("QToolBar { spacing: 0px; padding: 1px; border: none; }"
                       "QToolButton { padding: 0px; margin: 0px; border: 1px solid transparent; }"
                       "QToolButton:hover { border-color: #ffffff #808080 #808080 #ffffff; }"
                       "QToolButton:pressed, QToolButton:checked {"
                       " border-color: #808080 #ffffff #ffffff #808080; background: #e0e0e0; }"));
    const QPixmap strip(QStringLiteral(":/toolbar.png"));
    for (const ToolbarButton& entry : ToolbarButtons) {
        if (entry.Style == kButtonStyleSeparator) {
            bar->addSeparator();
            continue;
        }
        QPixmap image =
            strip.copy(entry.Image * kToolbarImageWidth, 0, kToolbarImageWidth, kToolbarImageHeight);
        // The strip is drawn on the button face; that colour lets the button
        // through, so that a disabled button greys only the picture.
        image.setMask(image.createMaskFromColor(QColor(192, 192, 192), Qt::MaskInColor));
        QAction* action = bar->addAction(QIcon(image), QString());
        const int id = entry.CommandId;
        action->setData(id);
        action->setCheckable(entry.Style == kButtonStyleCheck);
        char text[kTooltipTextSize];
        ToolbarTooltipText(port_, id, text, sizeof text);
        action->setToolTip(QString::fromLatin1(text));
        action->setText(QString::fromLatin1(text));
        connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
        if (id == kCmdHoldMarker) {
            connect(action, &QAction::toggled, this, [this] { updateHoldMarkerTooltip(); });
        }
    }
    client_->setToolBar(bar);
}

void MainWindow::updateHoldMarkerTooltip() {
    char text[kTooltipTextSize];
    ToolbarTooltipText(port_, kCmdHoldMarker, text, sizeof text);
    QAction* hold = toolbarAction(kCmdHoldMarker);
    hold->setToolTip(QString::fromLatin1(text));
    hold->setText(QString::fromLatin1(text));
}

void MainWindow::createStatusBar(const int* widths, int count) {
    client_->setStatusBar(new StatusBarWidget(widths, count, client_));
}

QAction* MainWindow::toolbarAction(int commandId) const {
    QToolBar* bar = client_->toolBar();
    if (bar == nullptr) return nullptr;
    for (QAction* action : bar->actions()) {
        if (!action->isSeparator() && action->data().toInt() == commandId) return action;
    }
    return nullptr;
}

void MainWindow::setStatusText(int field, const char* text) {
    if (StatusBarWidget* bar = client_->statusBar()) {
        bar->setFieldText(field, QString::fromLatin1(text));  // 8-bit text, no conversion
    }
}

int MainWindow::isButtonChecked(int commandId) const {
    const QAction* action = toolbarAction(commandId);
    return action != nullptr && action->isChecked();
}

int MainWindow::isButtonEnabled(int commandId) const {
    const QAction* action = toolbarAction(commandId);
    return action != nullptr && action->isEnabled();
}

void MainWindow::enableButton(int commandId, int enable) {
    if (QAction* action = toolbarAction(commandId)) action->setEnabled(enable != 0);
}

void MainWindow::runCommand(int commandId) {
    // The dialogs open modal for the user while the timers go on; each
    // deletes itself when it closes.
    const DialogContext context{&state_, &port_, units_, this, requestImmediateCall};
    switch (commandId) {
        case kCmdExit:
            close();
            break;
        case kCmdHelpEnglish:
        case kCmdHelpGerman:
            state_.german = commandId == kCmdHelpGerman ? 1 : 0;
            HelpWindow::showTopic(this, state_.german, kHelpContents);
            break;
        case kCmdDigipeaterConnects:
            (new ChannelDialog(context, this))->open();
            break;
        case kCmdConnectInterval:
            (new IntervalDialog(context, this))->open();
            break;
        case kCmdAnswerText:
            (new AnswerTextDialog(context, this))->open();
            break;
        case kCmdAbout:
            (new AboutBox(context, this))->open();
            break;
        case kCmdGraphicsSettings:
            (new GraphicsDialog(context, this))->open();
            break;
        default:
            // The diagram's commands, by their table. The check buttons
            // 40015 and 40020 only change their own state, which the diagram
            // reads; every other id does nothing.
            RunNavigationCommand(state_, port_, commandId);
            break;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (onShutdown) onShutdown();
    event->accept();
}
