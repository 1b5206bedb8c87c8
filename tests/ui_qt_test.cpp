// The real main window on the offscreen platform, with base units fixed at
// 8 x 16: geometry, toolbar and status bar, menu commands and exit; and the
// headless service's boxes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenuBar>
#include <QToolBar>
#include <cstdlib>
#include <string>

#include "app/session.h"
#include "core/app_state.h"
#include "support/scratch.h"
#include "ui/client_area.h"
#include "ui/gui_shell.h"
#include "ui/headless_shell.h"
#include "ui/main_window.h"
#include "ui/program.h"
#include "ui/status_bar_widget.h"
#include "view/toolbar_rules.h"

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitAppState(state);
        ShellOptions options{};
        std::snprintf(options.ConfigPath, sizeof options.ConfigPath, "%s", config.c_str());
        std::snprintf(options.Backend, sizeof options.Backend, "sim");
        InitShellSession(session, state, options);
        std::snprintf(session.LockDir, sizeof session.LockDir, "%s", scratch.Path.c_str());
        shell = std::make_unique<GuiShell>(session, state, BaseUnits{8, 16});
        ASSERT_EQ(ProgramEntry(session, state, *shell, *shell), kEnterMessageLoop);
        QApplication::processEvents();
    }
    void TearDown() override {
        shell.reset();
        ReleaseSession(session, state);
    }
    MainWindow& Window() { return *shell->window(); }
    StatusBarWidget& Bar() { return *Window().clientArea()->statusBar(); }
    QAction* Command(int commandId) {  // a menu item or toolbar button
        for (QAction* a : Window().findChildren<QAction*>()) {
            if (a->data().toInt() == commandId) return a;
        }
        return nullptr;
    }

    ScratchDir scratch;
    std::string config = scratch.File("hopw.ini");
    AppState state;
    ShellSession session{};
    std::unique_ptr<GuiShell> shell;
};

TEST_F(MainWindowTest, ControlsInTheClientAreaAndOnlyFieldZeroResizes) {
    EXPECT_EQ(Window().windowTitle().toStdString(), "Linkscope");
    EXPECT_EQ(Window().size(), QSize(81 * 8, 32 * 16));
    ClientArea* client = Window().clientArea();
    QToolBar* bar = client->toolBar();
    EXPECT_TRUE(bar->parentWidget() == client && Bar().parentWidget() == client);
    EXPECT_EQ(bar->geometry().top(), 0);
    // The client area is everything below the menu bar.
    EXPECT_EQ(client->height(), Window().height() - Window().menuBar()->height());
    EXPECT_EQ(
        (Bar().field(0)->text() + "|" + Bar().field(2)->text() + "|" + Bar().field(3)->text()).toStdString(),
        "Ready|XZoom: 10|YZoom: 3");
    for (int width : {648, 1000, 300}) {
        SCOPED_TRACE(width);
        Window().resize(width, 512);
        QApplication::processEvents();
        EXPECT_EQ(bar->width(), client->width());
        EXPECT_EQ(Bar().geometry(),
                  QRect(0, client->height() - Bar().height(), client->width(), Bar().height()));
        std::vector<int> widths;
        for (int k = 0; k < kStatusFieldCount; ++k) {
            widths.push_back(Bar().field(k)->isVisible() ? Bar().field(k)->width() : 0);
        }
        const int rest = client->width() - 65 * 8;
        EXPECT_EQ(widths,
                  (std::vector<int>{rest > 0 ? rest : 0, 15 * 8, 9 * 8, 9 * 8, 13 * 8, 6 * 8, 13 * 8}));
        EXPECT_EQ(Bar().field(6)->geometry().right(), client->width() - 1);
    }
}

TEST_F(MainWindowTest, ToolbarButtonsShowImagesAndLiveTooltipsAndFollowTheChannelOnRepaint) {
    QToolBar* bar = Window().clientArea()->toolBar();
    EXPECT_EQ(bar->iconSize(), QSize(24, 23));
    // "|" a separator, "b" a push button, "c" a check button, each with its
    // image and the tooltip the rules give it.
    std::string shown;
    for (QAction* a : bar->actions()) {
        char tip[kTooltipTextSize];
        ToolbarTooltipText(*shell, a->data().toInt(), tip, sizeof tip);
        const bool shows = !a->icon().isNull() && a->toolTip() == tip;
        shown += a->isSeparator() ? '|' : !shows ? '?' : a->isCheckable() ? 'c' : 'b';
    }
    EXPECT_EQ(shown, "||bb|bb|bb|bb|bb|c|c|c|bb");
    Command(kCmdHoldMarker)->trigger();
    EXPECT_EQ(shell->isButtonChecked(kCmdHoldMarker), 1);
    EXPECT_EQ(Command(kCmdHoldMarker)->toolTip().toStdString(), "Hold Marker on Graphic Position");

    (void)Window().grab();  // paints the client area
    EXPECT_EQ(shell->isButtonEnabled(kCmdShiftMarkerLeft) + shell->isButtonEnabled(kCmdPreviousDigipeater),
              0);
    state.CurrentChannel = 3;
    state.XZoom = 20;
    (void)Window().grab();
    EXPECT_EQ(shell->isButtonEnabled(kCmdNextDigipeater) + shell->isButtonEnabled(kCmdExpandXAxis), 0);
    EXPECT_EQ(shell->isButtonEnabled(kCmdPreviousDigipeater), 1);
}

// The exit item closes the window, so this is also what the frame's close
// button does.
TEST_F(MainWindowTest, HelpItemsChooseTheLanguageAndExitWritesTheSettingsOnce) {
    for (int id : {kCmdHelpGerman, kCmdHelpEnglish, kCmdHelpGerman}) {
        Command(id)->trigger();
        EXPECT_EQ(state.german, id == kCmdHelpGerman);
    }
    Command(kCmdExit)->trigger();
    EXPECT_FALSE(Window().isVisible());
    EXPECT_FALSE(shell->timers().isActive(1) || shell->timers().isActive(2));
    EXPECT_NE(ReadAll(config).find("german=1\r\n"), std::string::npos);
    // Closing the frame after the menu does not write again.
    WriteAll(config, "x");
    Window().close();
    EXPECT_EQ(ReadAll(config), "x");
}

TEST(HeadlessBoxes, OneLinePerBoxAndSafeAnswers) {
    AppState state;
    InitAppState(state);
    ShellSession session{};
    HeadlessShell shell(session, state);
    testing::internal::CaptureStderr();
    EXPECT_EQ(shell.ask("Rotate?", "hopwin", BoxIcon::Warning, BoxButtons::OkCancel), BoxAnswer::Cancel);
    EXPECT_EQ(shell.ask("Too many timers!", "c", BoxIcon::Warning, BoxButtons::RetryCancel),
              BoxAnswer::Cancel);
    EXPECT_EQ(shell.ask("Note", "hopwin", BoxIcon::Information, BoxButtons::Ok), BoxAnswer::Ok);
    shell.tell("Told\r\nyou\nall\n", "hopwin", BoxIcon::Information);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "hopwin: Rotate?\nc: Too many timers!\nhopwin: Note\nhopwin: Told / you / all\n");
    EXPECT_EQ(shell.statusText(0), "Bereit");
}

}  // namespace

// Test discovery runs this outside ctest's environment too.
int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const ScratchDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.Path.c_str(), 1);
    InitShellResources();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
