// The real main window and its dialogs (offscreen, base units 8 x 16, the
// simulated network) driven by keys and clicks, the headless service's boxes,
// and the diagram drawn by Qt.
#include <gtest/gtest.h>

#include <QTest>
#include <QtWidgets>
#include <cstdlib>
#include <string>

#include "app/session.h"
#include "app/tick_dispatch.h"
#include "core/app_state.h"
#include "settings/channel_edit.h"
#include "support/diagram_history.h"
#include "support/fake_port.h"
#include "support/scratch.h"
#include "support/wait_for.h"
#include "ui/client_area.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/answer_text_dialog.h"
#include "ui/dialogs/channel_dialog.h"
#include "ui/dialogs/excel_box.h"
#include "ui/dialogs/graphics_dialog.h"
#include "ui/dialogs/help_window.h"
#include "ui/dialogs/interval_dialog.h"
#include "ui/gui_shell.h"
#include "ui/headless_shell.h"
#include "ui/main_window.h"
#include "ui/program.h"
#include "ui/status_bar_widget.h"
#include "ui/view/diagram_widget.h"
#include "view/diagram_geometry.h"
#include "view/paint_plan.h"
#include "view/toolbar_rules.h"

namespace {

// Runs the event loop until `done` holds or `ms` have passed.
template <class Done>
bool Await(Done done, int ms) {
    return WaitFor(done, ms, [] { QTest::qWait(10); });
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override { Start(BaseUnits{8, 16}); }
    void Start(BaseUnits units) {
        InitAppState(state);
        ShellOptions options{};
        options.TimeScale = 1;
        std::snprintf(options.ConfigPath, sizeof options.ConfigPath, "%s", scratch.File("hopw.ini").c_str());
        std::snprintf(options.DataDir, sizeof options.DataDir, "%s", scratch.Path.c_str());
        std::snprintf(options.Backend, sizeof options.Backend, "sim:faults=0,callers=0");
        InitShellSession(session, state, options);
        std::snprintf(session.LockDir, sizeof session.LockDir, "%s", scratch.Path.c_str());
        shell = std::make_unique<GuiShell>(session, state, units);
        ASSERT_EQ(ProgramEntry(session, state, *shell, *shell), kEnterMessageLoop);
        QApplication::processEvents();
    }
    void TearDown() override {
        shell.reset();
        ReleaseSession(session, state);
    }
    MainWindow& Window() { return *shell->window(); }
    StatusBarWidget& Bar() { return *Window().clientArea()->statusBar(); }
    DiagramWidget& Diagram() { return *Window().clientArea()->diagram(); }
    QAction* Command(int commandId) {  // a menu item or toolbar button
        for (QAction* a : Window().findChildren<QAction*>()) {
            if (a->data().toInt() == commandId) return a;
        }
        return nullptr;
    }

    template <class Dialog>
    Dialog* Open(int command) {  // the one of its kind on screen now
        Window().runCommand(command);
        for (Dialog* dialog : Window().findChildren<Dialog*>()) {
            if (dialog->isVisible()) return dialog;
        }
        ADD_FAILURE() << command;
        return nullptr;
    }
    template <class Control>
    static Control* Item(QWidget* dialog, int id) {
        return dialog->findChild<Control*>(QStringLiteral("control%1").arg(id));
    }
    static void Type(QWidget* dialog, int id, const char* text) {
        auto* field = Item<QLineEdit>(dialog, id);
        QTest::mouseClick(field, Qt::LeftButton);  // the focus moves there, as a user's would
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, QString::fromLatin1(text));
    }
    static void Click(QWidget* dialog, int id) {
        QTest::mouseClick(Item<QPushButton>(dialog, id), Qt::LeftButton);
    }
    // The texts of the notices `owner` shows now; they are closed.
    using Texts = std::vector<std::string>;
    static Texts Notices(QWidget* owner) {
        Texts texts;
        for (QMessageBox* box : owner->findChildren<QMessageBox*>()) {
            if (box->isVisible()) texts.push_back(box->text().toStdString());
            box->close();
        }
        return texts;
    }
    static bool Closed(const QPointer<QWidget>& dialog) {
        QApplication::processEvents();
        return dialog.isNull() || !dialog->isVisible();
    }

    ScratchDir scratch;
    AppState state;
    ShellSession session{};
    std::unique_ptr<GuiShell> shell;
};

TEST_F(DialogTest, ToolbarButtonsShowImagesAndLiveTooltipsAndFollowTheChannelOnRepaint) {
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

    state.CurrentChannel = 3;
    (void)Window().grab();  // paints the client area, which sets the buttons
    EXPECT_EQ(
        shell->isButtonEnabled(kCmdNextDigipeater) * 10 + shell->isButtonEnabled(kCmdPreviousDigipeater), 1);
}

TEST_F(DialogTest, ClickPutsTheMarkerAndXPosShowsItsTime) {
    FillHistory(state, 0, 30, 2, [](int, FilledRecord&) {});
    const DiagramMapping m = SetupDiagramMapping(Diagram().width(), Diagram().height(), 8, 16);
    QTest::mouseClick(&Diagram(), Qt::LeftButton, {}, QPoint(m.ToDeviceX(10 * 7), Diagram().height() / 2));
    Diagram().repaint();
    EXPECT_EQ(state.ChannelTable[0].MarkerOffset, 22);
    EXPECT_EQ(Bar().field(kFieldMarkerTime)->text(), "X-Pos: 00:07/06.12.26");
    Window().runCommand(kCmdShiftMarkerLeft);  // toolbar commands reach the diagram
    EXPECT_EQ(state.ChannelTable[0].MarkerOffset, 23);
    QTest::mouseMove(&Diagram(), QPoint(Diagram().width() - 100, 200));
    const QCursor newer = Diagram().cursor();
    EXPECT_EQ(newer.hotSpot(), QPoint(15, 14));
    QTest::mouseMove(&Diagram(), QPoint(100, 200));  // left half: the other arrow
    EXPECT_NE(Diagram().cursor().bitmap().toImage(), newer.bitmap().toImage());
    QTest::mouseMove(&Diagram(), QPoint(10, 200));
    EXPECT_EQ(Diagram().cursor().shape(), Qt::ArrowCursor);
}

TEST_F(DialogTest, RightHoldScrollsUntilReleaseAndHoldsTheTicksBack) {
    FillHistory(state, 0, 300, 2, [](int, FilledRecord&) {});
    DiagramWidget& d = Diagram();
    const QPoint right(d.width() * 3 / 4, d.height() / 2);
    shell->timers().start(kSecondTimerId, 5);
    Window().setStatusText(kFieldCycle, "held");
    QTest::mousePress(&d, Qt::RightButton, {}, right);
    ASSERT_TRUE(Await([&] { return state.ChannelTable[0].ScrollOffset >= 12; }, 10000));
    EXPECT_EQ(state.ChannelTable[0].ScrollStep, 4);
    EXPECT_EQ(Bar().field(kFieldCycle)->text(), "held");  // no second tick ran
    QTest::mouseRelease(&d, Qt::RightButton, {}, right);
    const int during = state.ChannelTable[0].ScrollOffset;
    EXPECT_GE(during, 12);
    EXPECT_EQ(during % 4, 0);
    EXPECT_EQ(Bar().field(kFieldCycle)->text(), "Ready");  // the held tick ran at release
    EXPECT_EQ(state.ChannelTable[0].ScrollStep, 24);
    // A bound: twelve ticks' time, and no further step.
    EXPECT_FALSE(Await([&] { return state.ChannelTable[0].ScrollOffset != during; }, 60));
    QTest::mousePress(&d, Qt::RightButton, {}, QPoint(100, d.height() / 2));  // left half: older
    EXPECT_TRUE(Await([&] { return state.ChannelTable[0].ScrollOffset < during; }, 3000));
    QTest::mouseRelease(&d, Qt::RightButton, {}, QPoint(100, d.height() / 2));
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
    shell.tell("Told\r\nyou\nall\n", "hopwin", BoxIcon::Information);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "hopwin: Rotate?\nc: Too many timers!\nhopwin: Told / you / all\n");
    EXPECT_EQ(shell.statusText(0), "Bereit");
}

// At the default font: the controls fill the client area below the menu;
// of the status bar's fields only field 0 follows the window's width, and
// it lends six-digit byte counters the room they need and takes it back; the
// longest readouts fit their fields.
struct DefaultFontWindow : DialogTest {
    void SetUp() override { Start(MeasureBaseUnits(QApplication::font())); }
};

TEST_F(DefaultFontWindow, ControlsFillTheClientAreaAndReadoutsFitTheirFields) {
    const BaseUnits u = MeasureBaseUnits(QApplication::font());
    EXPECT_EQ(Window().windowTitle().toStdString(), "Linkscope");
    EXPECT_EQ(Window().size(), QSize(81 * u.X, 32 * u.Y));
    ClientArea* client = Window().clientArea();
    QToolBar* bar = client->toolBar();
    EXPECT_TRUE(bar->parentWidget() == client && Bar().parentWidget() == client);
    EXPECT_EQ(bar->geometry().top(), 0);
    EXPECT_EQ(client->height(), Window().height() - Window().menuBar()->height());
    const auto widths = [&] {
        std::vector<int> w;
        for (int k = 0; k < kStatusFieldCount; ++k)
            w.push_back(Bar().field(k)->isVisible() ? Bar().field(k)->width() : 0);
        return w;
    };
    for (int width : {1000, 300, 81 * u.X}) {
        SCOPED_TRACE(width);
        Window().resize(width, 32 * u.Y);
        QApplication::processEvents();
        EXPECT_EQ(bar->width(), client->width());
        EXPECT_EQ(Bar().geometry(),
                  QRect(0, client->height() - Bar().height(), client->width(), Bar().height()));
        const int rest = std::max(client->width() - 65 * u.X, 0);
        EXPECT_EQ(widths(),
                  (std::vector<int>{rest, 15 * u.X, 9 * u.X, 9 * u.X, 13 * u.X, 6 * u.X, 13 * u.X}));
        EXPECT_EQ(Bar().field(6)->geometry().right(), client->width() - 1);
    }

    const std::pair<int, const char*> rows[] = {{kFieldMarkerTime, "X-Pos: 23:59/31.12.26"},
                                                {kFieldXZoom, "XZoom: 20"},
                                                {kFieldYZoom, "YZoom: 0,6"},
                                                {kFieldQty, "Qty: 255"},
                                                {kFieldTime, "Time: 9999/9999"}};
    const auto fits = [&](int field, const char* text) {
        QLabel* label = Bar().field(field);
        return label->fontMetrics().horizontalAdvance(QString::fromLatin1(text)) <=
               label->contentsRect().width() - label->indent();
    };
    for (const auto& [field, text] : rows) EXPECT_TRUE(fits(field, text)) << text;
    const std::vector<int> before = widths();
    const char* wide = "T/Rkby: 999999/999999 ";
    Window().setStatusText(kFieldKbytes, wide);
    EXPECT_TRUE(fits(kFieldKbytes, wide));
    std::vector<int> after = widths();
    const int taken = after[kFieldKbytes] - before[kFieldKbytes];
    EXPECT_GT(taken, 0);
    EXPECT_EQ(after[0], before[0] - taken);
    after[0] = before[0], after[kFieldKbytes] = before[kFieldKbytes];
    EXPECT_EQ(after, before);
    Window().setStatusText(kFieldKbytes, "T/Rkby: 5/7 ");
    EXPECT_EQ(widths(), before);
}

TEST_F(DialogTest, ConnectWarnsThenCallsAndTheGridFollows) {
    auto* dialog = Open<ChannelDialog>(kCmdDigipeaterConnects);
    EXPECT_EQ(dialog->size(), QSize(280 * 2, 264 * 2));
    EXPECT_EQ(Item<QLabel>(dialog, 23)->text(), "Ch1 disc.");

    Click(dialog, 22);
    EXPECT_EQ(Notices(dialog), Texts({kNoDestinationText}));
    Type(dialog, 14, "  qx0tst  ");
    Click(dialog, 22);
    EXPECT_EQ(Notices(dialog), Texts({kNoMycallText}));
    EXPECT_STREQ(state.ChannelTable[0].CallPath, "qx0tst");
    Type(dialog, 46, "QX0ME");
    const auto clock = [] { return QTime::currentTime().toString(QStringLiteral("hh:mm")); };
    const QString before = clock();
    Click(dialog, 22);
    EXPECT_EQ(Notices(dialog), Texts());
    ASSERT_TRUE(Await([&] { return Item<QLabel>(dialog, 23)->text() != "Ch1 disc."; }, 10000));
    const QString called = Item<QLabel>(dialog, 27)->text();
    EXPECT_TRUE(called == before || called == clock()) << called.toStdString();
    // The report shows once the call is being ended, without the prompt.
    auto* reply = Item<QPlainTextEdit>(dialog, 43);
    ASSERT_TRUE(Await([&] { return !reply->toPlainText().isEmpty(); }, 30000));
    EXPECT_FALSE(reply->toPlainText().contains(QStringLiteral("=>")));
}

TEST_F(DialogTest, ListSelectionSwitchesTheMainWindowLoadFileFillsAndBoxesClose) {
    WriteAll(scratch.File("QX0TST.hpw"),
             "1  L1 I1      \r\n07.12.26 10:00 5 1 2 3 1 2 1 \r\n07.12.26 10:10 5 1 2 3 1 2 1 ");
    auto* dialog = Open<ChannelDialog>(kCmdDigipeaterConnects);
    auto* list = Item<QListWidget>(dialog, 17);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
    EXPECT_EQ(state.CurrentChannel, 2);
    Type(dialog, 14, "QX0TST");
    Click(dialog, 77);
    EXPECT_EQ(state.ChannelTable[2].RecordCount, 2);
    EXPECT_EQ(Notices(&Window()), Texts());
    Click(dialog, 70);
    QPointer<QWidget> excel = dialog->findChild<ExcelBox*>();
    ASSERT_NE(excel, nullptr);
    Click(excel, 1);
    EXPECT_TRUE(Closed(excel));
    // The about box shows its version line whole.
    int whole = 0;
    for (QLabel* label : Open<AboutBox>(kCmdAbout)->findChildren<QLabel*>()) {
        whole += label->text() == QStringLiteral("Hopwatch 2.34, 32 Bit Monitor Program, 01.01.2000") &&
                 label->fontMetrics().horizontalAdvance(label->text()) <= label->width();
    }
    EXPECT_EQ(whole, 1);
}

TEST_F(DialogTest, AnswerTextLinesCutAndFailedSave) {
    std::string file;
    for (int i = 0; i < 30; ++i)
        file += std::string(40, static_cast<char>('a' + i % 26)) + "\r\n";  // 1260 bytes
    WriteAll(scratch.File("hopwansw.txt"), file);
    auto* dialog = Open<AnswerTextDialog>(kCmdAnswerText);
    EXPECT_EQ(Item<QLineEdit>(dialog, 73)->text(), "Hopwatch V 2.34 link data acquisition!");
    auto* editor = Item<QPlainTextEdit>(dialog, 71);
    QString shown = editor->toPlainText();
    EXPECT_EQ(shown.replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toStdString(), file.substr(0, 999));

    editor->selectAll();
    QTest::keyClicks(editor, QString(81, QLatin1Char('x')));
    Click(dialog, 72);
    EXPECT_EQ(Notices(dialog), Texts({"Lines must not have more than 80 characters!"}));
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClicks(editor, QStringLiteral("73"));
    QPointer<QWidget> open(dialog);
    Click(dialog, 72);
    EXPECT_EQ(ReadAll(scratch.File("hopwansw.txt")), std::string(80, 'x') + "\r\n73\r\n");
    EXPECT_TRUE(Closed(open));

    // A data directory that cannot take the file: the old text stays, the
    // dialog closes and standard error says why.
    std::snprintf(state.DataDir, sizeof state.DataDir, "%s", scratch.File("gone").c_str());
    dialog = Open<AnswerTextDialog>(kCmdAnswerText);
    testing::internal::CaptureStderr();
    Click(dialog, 72);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("hopwansw.txt was not saved: No such file or directory"), std::string::npos) << said;
    EXPECT_EQ(ReadAll(scratch.File("hopwansw.txt")), std::string(80, 'x') + "\r\n73\r\n");
}

// From the dialogs to the settings file: Mycall and a destination (an
// invalid entry refused and left in its field, Cancel keeping what Accept
// took), an interval (one out of range shown at the end, every move
// storing the position and restarting the count), display switches (copies that apply only on Ok, with
// one Y zoom for all channels) and the help language, which context help
// (F1, a right click) follows, then the exit item, which closes the window
// as the frame's close button does.
TEST_F(DialogTest, ChangesThroughTheDialogsReachTheSettingsFile) {
    Command(kCmdHelpGerman)->trigger();  // opens the index
    HelpWindow::current()->close();
    auto* channels = Open<ChannelDialog>(kCmdDigipeaterConnects);
    QTest::keyClick(Item<QPushButton>(channels, 22), Qt::Key_F1);
    auto* help = HelpWindow::current();
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->browser()->source().toString(), "qrc:/help/de/channel.html#t103");
    Type(channels, 46, "QX0 ME");
    Click(channels, 222);
    EXPECT_EQ(Notices(channels), Texts({kInvalidMycallText}));
    Type(channels, 46, "QX0ME");
    Type(channels, 14, "QX0TST  QX0VIA ");
    Click(channels, 222);
    Type(channels, 14, "QX0TST-0");
    Click(channels, 1);  // Ok refuses
    EXPECT_EQ(Notices(channels), Texts({kInvalidDestinationText}));
    EXPECT_EQ(Item<QLineEdit>(channels, 14)->text(), "QX0TST-0");
    Click(channels, 2);
    ChannelRecord& first = state.ChannelTable[0];
    first.MinutenIntervall = 90;
    auto* interval = Open<IntervalDialog>(kCmdConnectInterval);
    EXPECT_EQ(interval->slider()->value(), 60);
    QTest::keyClick(interval->slider(), Qt::Key_End);  // the thumb stays at 60, yet it is stored
    EXPECT_EQ(first.MinutenIntervall, 60);
    first.MinuteCount = 3;
    QTest::keyClick(interval->slider(), Qt::Key_Home);
    EXPECT_EQ(first.MinutenIntervall * 100 + first.MinuteCount, 700);
    EXPECT_EQ(Item<QLabel>(interval, 18)->text(), "Channel 1:  7 minutes");
    QTest::keyClick(interval, Qt::Key_Escape);
    EXPECT_TRUE(Closed(interval));
    state.CurrentChannel = 1;
    state.ChannelTable[1].YZoomStep = 2;
    state.ChannelTable[1].YScale = 10;
    Command(kCmdHelpEnglish)->trigger();
    auto* graphics = Open<GraphicsDialog>(kCmdGraphicsSettings);
    QWidget* txTim = Item<QCheckBox>(graphics, 92);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(4, 4), txTim->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(txTim, &rightClick);
    EXPECT_EQ(help->browser()->source().toString(), "qrc:/help/en/graphics.html#t116");
    EXPECT_TRUE(help->browser()->toPlainText().contains(QStringLiteral("TxTIM")));
    for (int box : {79, 80, 80, 81, 95}) QTest::mouseClick(Item<QCheckBox>(graphics, box), Qt::LeftButton);
    QTest::keyClick(graphics, Qt::Key_Escape);
    ASSERT_FALSE(Closed(graphics));
    EXPECT_EQ(state.time, 1);
    Click(graphics, 1);
    EXPECT_EQ(state.qty * 100 + state.time * 10 + state.one_yzoom, 101);
    for (const ChannelRecord& c : state.ChannelTable) EXPECT_EQ(c.YZoomStep * 100 + c.YScale, 210);
    EXPECT_EQ(Bar().field(3)->text(), "YZoom: 0,2");
    Command(kCmdHelpGerman)->trigger();
    Command(kCmdExit)->trigger();
    EXPECT_FALSE(Window().isVisible());
    EXPECT_FALSE(shell->timers().isActive(1) || shell->timers().isActive(2));
    const std::string saved = ReadAll(scratch.File("hopw.ini"));
    for (const char* line : {"[Curvset]\r\nBalken=0\r\n", "Destination Call=QX0ME\r\n",
                             "[Channel1]\r\nCallPath=QX0TST QX0VIA\r\n",
                             "RufAktiv=1\r\nMinutenIntervall=7\r\n", "german=1\r\n"}) {
        EXPECT_NE(saved.find(line), std::string::npos) << line << "\n" << saved;
    }
    // Closing the frame after the menu does not write again.
    WriteAll(scratch.File("hopw.ini"), "x");
    Window().close();
    EXPECT_EQ(ReadAll(scratch.File("hopw.ini")), "x");
}

QRgb Rgb(PlanColour c) {
    return qRgb(c.R, c.G, c.B);
}

class DiagramPixels : public ::testing::Test {
protected:
    void SetUp() override {
        InitAppState(state);
        ASSERT_EQ(ReserveDiagramMemory(state), 1);
        SetChannelViewDefaults(state.ChannelTable[0]);
        state.ChannelTable[0].YZoomStep = 1;
        widget.resize(648, 480);
    }
    void TearDown() override { ReleaseDiagramMemory(state); }
    QImage Paint(bool reduce = true) { return PaintOn(widget, 648, 480, reduce); }
    static QImage PaintOn(DiagramWidget& diagram, int w, int h, bool reduce = true) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(qRgb(192, 192, 192));
        diagram.setReduceColumns(reduce);
        QPainter painter(&image);
        diagram.paintDiagram(painter);
        return image;
    }
    // Level curves at 50, 150, 250, 350, 450; link states by record.
    void Level(int count, std::vector<int> states) {
        FillHistory(state, 0, count, 2, [&](int i, FilledRecord& r) {
            r.Links[0] = FilledSample{"L", 50, 150, 250, 350, 450, states[i % states.size()]};
        });
    }
    int X(int logical) { return m.ToDeviceX(logical); }
    int Y(int logical) { return m.ToDeviceY(logical); }

    AppState state;
    FakePort port;
    DiagramWidget widget{state, port, BaseUnits{8, 16}, nullptr};
    DiagramMapping m = SetupDiagramMapping(648, 480, 8, 16);
};

TEST_F(DiagramPixels, FrameCurvesMarkerNewestLineLabelUsageStripAndGrid) {
    Level(40, {1});
    state.ChannelTable[0].MarkerOffset = 30;  // record 9, at logical x 90
    QImage image = Paint();
    EXPECT_EQ((std::vector<QRgb>{image.pixel(30, 60), image.pixel(648 - 24, 480 - 41), image.pixel(29, 200),
                                 image.pixel(X(55), Y(100))}),  // frame corners, outside, plot
              (std::vector<QRgb>{qRgb(0, 0, 0), qRgb(0, 0, 0), qRgb(192, 192, 192), qRgb(255, 255, 255)}));
    const int values[5] = {50, 150, 250, 350, 450};
    for (int s = 0; s < 5; ++s) EXPECT_EQ(image.pixel(X(205), Y(values[s])), Rgb(kCurveColours[s])) << s;
    EXPECT_EQ(image.pixel(X(90), Y(100)), Rgb(kMarkerColour));
    EXPECT_EQ(image.pixel(X(390), Y(100)), Rgb(kNewestColour));
    int ink = 0;  // "QTY" stands right of the marker, its baseline on the curve
    for (int y = Y(50) - 9; y < Y(50) - 1; ++y) {
        for (int x = X(90) + 2; x < X(90) + 20; ++x) ink += image.pixel(x, y) == qRgb(0, 0, 0);
    }
    EXPECT_GT(ink, 5);

    Level(6, {0, 1, 2, 5, 6, 6});
    state.XZoom = 20;
    state.ChannelTable[0].MarkerOffset = 0;
    port.Checked[kCmdGrid] = 1;
    image = Paint();
    const int classes[] = {2, 1, 0, 3, 4};  // a failed connect (6) is blue
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(image.pixel(X(20 * k + 10), Y(806 - 7)), Rgb(kUsageColours[classes[k]])) << k;
    }
    auto gridPixels = [&](int logicalY) {  // right of the curves' end
        int n = 0;
        for (int x = X(130); x < 648 - 30; ++x) n += image.pixel(x, Y(logicalY)) == Rgb(kGridColour);
        return n;
    };
    EXPECT_GT(gridPixels(20), 50);  // at zoom step 1 every second tick is labelled
    EXPECT_EQ(gridPixels(10) + gridPixels(0), 0);
}

// At every Y zoom, with the test's base units and with those of the
// window's font at the window's first size, the Y labels ink neither the
// column left of the ticks nor a row shared with the next label.
TEST_F(DiagramPixels, YLabelsTouchNeitherTheTicksNorEachOther) {
    const BaseUnits measured = MeasureBaseUnits(QApplication::font());
    for (const BaseUnits units : {BaseUnits{8, 16}, measured}) {
        const int w = 81 * units.X;
        const int h = 32 * units.Y - 24;  // less the menu bar
        DiagramWidget diagram{state, port, units, nullptr};
        diagram.resize(w, h);
        const DiagramMapping map = SetupDiagramMapping(w, h, units.X, units.Y);
        const int tickLeft = map.ToDeviceX(-8);
        for (int scale : {10, 1}) {
            for (int step = 1; step <= 6; ++step) {
                SCOPED_TRACE(testing::Message()
                             << units.X << "x" << units.Y << " zoom " << step << "/" << scale);
                state.ChannelTable[0].YZoomStep = step;
                state.ChannelTable[0].YScale = scale;
                const QImage image = PaintOn(diagram, w, h);
                // Rows inked left of the ticks, as runs: one run per label.
                int runs = 0, touching = 0;
                bool inRun = false;
                for (int y = 0; y < h; ++y) {
                    bool ink = false;
                    for (int x = 0; x < tickLeft; ++x) ink = ink || image.pixel(x, y) != qRgb(192, 192, 192);
                    touching += image.pixel(tickLeft - 1, y) != qRgb(192, 192, 192);
                    runs += ink && !inRun;
                    inRun = ink;
                }
                YAxisRows axis;
                BuildYAxisRows(map, PlotRectFor(w, h), units.X, step, scale, 0, axis);
                int labels = 0;
                for (int i = 0; i < axis.Count; ++i) labels += axis.Rows[i].Labelled;
                EXPECT_EQ(touching, 0);
                EXPECT_EQ(runs, labels);
            }
        }
    }
}

TEST_F(DiagramPixels, DrawingOnePixelColumnAtATimeChangesNoPixel) {
    const int cases[][2] = {{1, 1}, {24000, 1}, {24000, 10}, {5000, 3}, {777, 20}, {2, 7}};
    unsigned seed = 1;
    for (const auto& c : cases) {
        FillRandomHistory(state, 0, c[0], 3, seed++);
        state.XZoom = c[1];
        state.ChannelTable[0].MarkerOffset = c[0] / 3;
        state.ChannelTable[0].YZoomStep = 2;
        EXPECT_TRUE(Paint(true) == Paint(false)) << c[0] << " records at XZoom " << c[1];
    }
}

}  // namespace

int main(int argc, char** argv) {
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
