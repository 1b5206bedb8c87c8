// The real main window on the offscreen platform, with base units fixed at
// 8 x 16: menu, toolbar, status bar, geometry, command dispatch and exit.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <cstdlib>
#include <string>

#include "core/app_state.h"
#include "app/session.h"
#include "view/toolbar_rules.h"
#include "ui/client_area.h"
#include "ui/gui_shell.h"
#include "ui/headless_shell.h"
#include "ui/main_window.h"
#include "ui/program.h"
#include "ui/status_bar_widget.h"
#include "support/scratch.h"

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitAppState(state);
        ShellOptions options{};
        options.TimeScale = 1;
        std::snprintf(options.ConfigPath, sizeof options.ConfigPath, "%s", scratch.File("hopw.ini").c_str());
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
    std::vector<int> FieldWidths() {
        std::vector<int> widths;
        for (int k = 0; k < kStatusFieldCount; ++k) {
            QLabel* label = Bar().field(k);
            widths.push_back(label->isVisible() ? label->width() : 0);
        }
        return widths;
    }

    ScratchDir scratch;
    AppState state;
    ShellSession session{};
    std::unique_ptr<GuiShell> shell;
};

TEST_F(MainWindowTest, TitleAndSizeInBaseUnits) {
    EXPECT_EQ(Window().windowTitle(), "Linkscope");
    EXPECT_EQ(Window().width(), 81 * 8);
    EXPECT_EQ(Window().height(), 32 * 16);
}

TEST_F(MainWindowTest, MenuAsTabled) {
    // Each popup as "title: item/command ...", "-" for a separator.
    std::string shown;
    for (QAction* popup : Window().menuBar()->actions()) {
        shown += (shown.empty() ? "" : " | ") + popup->text().toStdString() + ":";
        for (QAction* item : popup->menu()->actions()) {
            const std::string text = item->text().toStdString();
            shown += item->isSeparator() ? " -" : " " + text + "/" + std::to_string(item->data().toInt());
        }
    }
    EXPECT_EQ(shown,
              "&Quit: E&xit/1 | &Edit: &Digipeater Connects/2 &Connect Interval/11 &Graphics Settings/78 - "
              "Edit &Answer Text/12 | &Help: &Help/8 H&ilfe/108 About Hop&watch.../13");
}

TEST_F(MainWindowTest, ToolbarInTableOrderWithImagesAndLiveTooltips) {
    QToolBar* bar = Window().clientArea()->toolBar();
    ASSERT_NE(bar, nullptr);
    const QList<QAction*> actions = bar->actions();
    ASSERT_EQ(actions.size(), kToolbarEntryCount);
    for (int i = 0; i < kToolbarEntryCount; ++i) {
        SCOPED_TRACE(i);
        const ToolbarButton& entry = ToolbarButtons[i];
        if (entry.Style == kButtonStyleSeparator) {
            EXPECT_TRUE(actions[i]->isSeparator());
            continue;
        }
        EXPECT_EQ(actions[i]->data().toInt(), entry.CommandId);
        EXPECT_EQ(actions[i]->isCheckable(), entry.Style == kButtonStyleCheck);
        EXPECT_FALSE(actions[i]->icon().isNull());
        char text[kTooltipTextSize];
        ToolbarTooltipText(*shell, entry.CommandId, text, sizeof text);
        EXPECT_EQ(actions[i]->toolTip(), text);
    }
    EXPECT_EQ(bar->iconSize(), QSize(24, 23));

    // The hold-marker tooltip follows the button's check state.
    QAction* hold = Window().toolbarAction(kCmdHoldMarker);
    ASSERT_NE(hold, nullptr);
    hold->trigger();
    EXPECT_EQ(shell->isButtonChecked(kCmdHoldMarker), 1);
    EXPECT_EQ(hold->toolTip(), "Hold Marker on Graphic Position");
}

TEST_F(MainWindowTest, ControlsInTheClientAreaAndFieldsOneToSixKeptOnResize) {
    ClientArea* client = Window().clientArea();
    QToolBar* bar = client->toolBar();
    EXPECT_EQ(bar->parentWidget(), client);
    EXPECT_EQ(Bar().parentWidget(), client);
    EXPECT_EQ(bar->geometry().top(), 0);
    // The client area is everything below the menu bar.
    EXPECT_EQ(client->height(), Window().height() - Window().menuBar()->height());
    EXPECT_EQ(Bar().field(0)->text(), "Ready");
    EXPECT_EQ(Bar().field(2)->text(), "XZoom: 10");
    EXPECT_EQ(Bar().field(3)->text(), "YZoom: 3");

    const std::vector<int> fixed = {15 * 8, 9 * 8, 9 * 8, 13 * 8, 6 * 8, 13 * 8};
    for (int width : {648, 1000, 300}) {
        Window().resize(width, 512);
        QApplication::processEvents();
        SCOPED_TRACE(width);
        EXPECT_EQ(bar->width(), client->width());
        EXPECT_EQ(Bar().width(), client->width());
        EXPECT_EQ(Bar().geometry().bottom(), client->height() - 1);
        const std::vector<int> widths = FieldWidths();
        EXPECT_EQ(std::vector<int>(widths.begin() + 1, widths.end()), fixed);
        const int rest = client->width() - 65 * 8;
        EXPECT_EQ(widths[0], rest > 0 ? rest : 0);
        EXPECT_EQ(Bar().field(6)->geometry().right(), client->width() - 1);
    }
}

TEST_F(MainWindowTest, RepaintBringsTheToolbarUpToDate) {
    (void)Window().grab();  // paints the client area
    EXPECT_EQ(shell->isButtonEnabled(kCmdShiftMarkerLeft), 0);  // no records
    EXPECT_EQ(shell->isButtonEnabled(kCmdPreviousDigipeater), 0);
    state.CurrentChannel = 3;
    state.XZoom = 20;
    (void)Window().grab();
    EXPECT_EQ(shell->isButtonEnabled(kCmdNextDigipeater), 0);
    EXPECT_EQ(shell->isButtonEnabled(kCmdPreviousDigipeater), 1);
    EXPECT_EQ(shell->isButtonEnabled(kCmdExpandXAxis), 0);
}

TEST_F(MainWindowTest, HelpItemsChooseTheLanguage) {
    Window().runCommand(kCmdHelpGerman);
    EXPECT_EQ(state.german, 1);
    Window().runCommand(kCmdHelpEnglish);
    EXPECT_EQ(state.german, 0);
    for (int id : {kCmdNothing, 40001, 40016, 99999}) Window().runCommand(id);  // nothing happens
    EXPECT_TRUE(Window().isVisible());
}

// The exit item closes the window, so this is also what the frame's close
// button does.
TEST_F(MainWindowTest, ExitItemShutsDownOnceAndWritesTheSettings) {
    state.german = 1;
    QAction* exitItem = Window().menuBar()->actions()[0]->menu()->actions()[0];
    exitItem->trigger();
    EXPECT_EQ(session.ShutDownDone, 1);
    EXPECT_FALSE(Window().isVisible());
    EXPECT_FALSE(shell->timers().isActive(1));
    EXPECT_FALSE(shell->timers().isActive(2));
    EXPECT_NE(ReadAll(scratch.File("hopw.ini")).find("german=1\r\n"), std::string::npos);
    // Closing the frame after the menu does not write again.
    WriteAll(scratch.File("hopw.ini"), "x");
    Window().close();
    EXPECT_EQ(ReadAll(scratch.File("hopw.ini")), "x");
}

TEST(HeadlessBoxes, OneLinePerBoxAndSafeAnswers) {
    EXPECT_EQ(HeadlessBoxLine("c", "one\r\ntwo\nthree\n"), "c: one / two / three");

    AppState state;
    InitAppState(state);
    ShellSession session{};
    HeadlessShell shell(session, state);
    testing::internal::CaptureStderr();
    EXPECT_EQ(shell.ask("Rotate?", "hopwin", BoxIcon::Warning, BoxButtons::OkCancel), BoxAnswer::Cancel);
    EXPECT_EQ(shell.ask("Too many timers!", "hopwin", BoxIcon::Warning, BoxButtons::RetryCancel),
              BoxAnswer::Cancel);
    EXPECT_EQ(shell.ask("Note", "hopwin", BoxIcon::Information, BoxButtons::Ok), BoxAnswer::Ok);
    shell.tell("Told\nyou", "hopwin", BoxIcon::Information);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "hopwin: Rotate?\nhopwin: Too many timers!\nhopwin: Note\nhopwin: Told / you\n");
    EXPECT_EQ(shell.statusText(0), "Bereit");
}

}  // namespace

int main(int argc, char** argv) {
    // Tests are also run at build time by test discovery, outside ctest's
    // environment: choose the offscreen platform and a private runtime
    // directory here.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char runtime[] = "/tmp/hopwatch-qt-runtime-XXXXXX";
    if (mkdtemp(runtime) != nullptr) setenv("XDG_RUNTIME_DIR", runtime, 1);
    InitShellResources();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    rmdir(runtime);
    return result;
}
