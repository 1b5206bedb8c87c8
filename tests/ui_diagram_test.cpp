// The diagram drawn by Qt (offscreen, base units 8 x 16): pixels probed where
// the mapping puts them, the column reduction against drawing every point,
// the mouse on the real window, and readouts that fit their fields.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QTest>

#include "app/session.h"
#include "app/tick_dispatch.h"
#include "support/diagram_history.h"
#include "support/fake_port.h"
#include "support/scratch.h"
#include "ui/client_area.h"
#include "ui/gui_shell.h"
#include "ui/main_window.h"
#include "ui/program.h"
#include "ui/status_bar_widget.h"
#include "ui/view/diagram_widget.h"
#include "view/paint_plan.h"
#include "view/toolbar_rules.h"

namespace {

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
    void TearDown() override {
        ReleaseCurveMemory(state);
        ReleaseHistoryMemory(state);
        ReleaseCurveMemory(state);
    }
    QImage Paint(bool reduce = true) {
        QImage image(648, 480, QImage::Format_RGB32);
        image.fill(qRgb(192, 192, 192));
        widget.setReduceColumns(reduce);
        QPainter painter(&image);
        widget.paintDiagram(painter);
        return image;
    }
    // Level curves at 50, 150, 250, 350, 450; link states by record.
    void Level(int count, std::vector<int> states) {
        FillHistory(state, 0, count, 2, [&](int i, HistoryRecord& r) {
            r.Links[0] = LinkSample{"L", 50, 150, 250, 350, 450, states[i % states.size()]};
        });
    }
    int X(int logical) { return m.ToDeviceX(logical); }
    int Y(int logical) { return m.ToDeviceY(logical); }

    AppState state;
    FakePort port;
    DiagramWidget widget{state, port, BaseUnits{8, 16}, nullptr};
    DiagramMapping m = SetupDiagramMapping(648, 480, 8, 16);
};

TEST_F(DiagramPixels, FrameCurvesMarkerNewestLineAndLabel) {
    Level(40, {1});
    state.ChannelTable[0].MarkerOffset = 30;  // record 9, at logical x 90
    const QImage image = Paint();
    EXPECT_EQ(image.pixel(30, 60), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(648 - 24, 480 - 41), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(29, 200), qRgb(192, 192, 192));
    EXPECT_EQ(image.pixel(X(55), Y(100)), qRgb(255, 255, 255));
    const int values[5] = {50, 150, 250, 350, 450};
    for (int s = 0; s < 5; ++s) EXPECT_EQ(image.pixel(X(205), Y(values[s])), Rgb(kCurveColours[s])) << s;
    EXPECT_EQ(image.pixel(X(90), Y(100)), Rgb(kMarkerColour));
    EXPECT_EQ(image.pixel(X(390), Y(100)), Rgb(kNewestColour));
    EXPECT_EQ(port.Status[kFieldMarkerTime], "X-Pos: 00:09/06.12.26");
    int ink = 0;  // "QTY" stands right of the marker, its baseline on the curve
    for (int y = Y(50) - 9; y < Y(50) - 1; ++y) {
        for (int x = X(90) + 2; x < X(90) + 20; ++x) ink += image.pixel(x, y) == qRgb(0, 0, 0);
    }
    EXPECT_GT(ink, 5);
}

TEST_F(DiagramPixels, UsageStripColoursAndGridOnLabelledRows) {
    Level(6, {0, 1, 2, 5, 6, 6});
    state.XZoom = 20;
    port.Checked[kCmdGrid] = 1;
    const QImage image = Paint();
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
    EXPECT_EQ(gridPixels(10), 0);
    EXPECT_EQ(gridPixels(0), 0);
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

// The real window, as the program runs it.
class DiagramWindow : public ::testing::Test {
protected:
    void Start(BaseUnits units) {
        InitAppState(state);
        ShellOptions options{};
        options.TimeScale = 1;
        std::snprintf(options.ConfigPath, sizeof options.ConfigPath, "%s", scratch.File("hopw.ini").c_str());
        std::snprintf(options.Backend, sizeof options.Backend, "sim");
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
    DiagramWidget& Diagram() { return *shell->window()->clientArea()->diagram(); }
    QLabel* Field(int k) { return shell->window()->clientArea()->statusBar()->field(k); }

    ScratchDir scratch;
    AppState state;
    ShellSession session{};
    std::unique_ptr<GuiShell> shell;
};

TEST_F(DiagramWindow, ClickPutsTheMarkerAndXPosShowsItsTime) {
    Start(BaseUnits{8, 16});
    FillHistory(state, 0, 30, 2, [](int, HistoryRecord&) {});
    const DiagramMapping m = SetupDiagramMapping(Diagram().width(), Diagram().height(), 8, 16);
    QTest::mouseClick(&Diagram(), Qt::LeftButton, {}, QPoint(m.ToDeviceX(10 * 7), Diagram().height() / 2));
    Diagram().repaint();
    EXPECT_EQ(state.ChannelTable[0].MarkerOffset, 22);
    EXPECT_EQ(Field(kFieldMarkerTime)->text(), "X-Pos: 00:07/06.12.26");
    shell->window()->runCommand(kCmdShiftMarkerLeft);  // toolbar commands reach the diagram
    EXPECT_EQ(state.ChannelTable[0].MarkerOffset, 23);
    QTest::mouseMove(&Diagram(), QPoint(Diagram().width() - 100, 200));
    const QCursor newer = Diagram().cursor();
    EXPECT_EQ(newer.hotSpot(), QPoint(15, 14));
    QTest::mouseMove(&Diagram(), QPoint(100, 200));  // left half: the other arrow
    EXPECT_NE(Diagram().cursor().bitmap().toImage(), newer.bitmap().toImage());
    QTest::mouseMove(&Diagram(), QPoint(10, 200));
    EXPECT_EQ(Diagram().cursor().shape(), Qt::ArrowCursor);
}

TEST_F(DiagramWindow, RightHoldScrollsUntilReleaseAndHoldsTheTicksBack) {
    Start(BaseUnits{8, 16});
    FillHistory(state, 0, 300, 2, [](int, HistoryRecord&) {});
    DiagramWidget& d = Diagram();
    const QPoint right(d.width() * 3 / 4, d.height() / 2);
    shell->timers().start(kSecondTimerId, 5);
    shell->window()->setStatusText(kFieldCycle, "held");
    QTest::mousePress(&d, Qt::RightButton, {}, right);
    for (int waited = 0; state.ChannelTable[0].ScrollOffset < 12 && waited < 3000; waited += 10)
        QTest::qWait(10);
    EXPECT_EQ(state.ChannelTable[0].ScrollStep, 4);
    EXPECT_EQ(Field(kFieldCycle)->text(), "held");  // no second tick ran
    QTest::mouseRelease(&d, Qt::RightButton, {}, right);
    const int during = state.ChannelTable[0].ScrollOffset;
    EXPECT_GE(during, 12);
    EXPECT_EQ(during % 4, 0);
    EXPECT_EQ(Field(kFieldCycle)->text(), "Ready");  // the held tick ran at release
    EXPECT_EQ(state.ChannelTable[0].ScrollStep, 24);
    QTest::qWait(60);
    EXPECT_EQ(state.ChannelTable[0].ScrollOffset, during);
    QTest::mousePress(&d, Qt::RightButton, {}, QPoint(100, d.height() / 2));  // left half: older
    QTest::qWait(60);
    QTest::mouseRelease(&d, Qt::RightButton, {}, QPoint(100, d.height() / 2));
    EXPECT_LT(state.ChannelTable[0].ScrollOffset, during);
}

TEST_F(DiagramWindow, ReadoutsFitTheirFieldsAtTheDefaultFont) {
    Start(MeasureBaseUnits(QApplication::font()));
    const std::pair<int, const char*> rows[] = {{kFieldMarkerTime, "X-Pos: 23:59/31.12.26"},
                                                {kFieldXZoom, "XZoom: 20"},
                                                {kFieldYZoom, "YZoom: 0,6"},
                                                {kFieldQty, "Qty: 255"},
                                                {kFieldTime, "Time: 9999/9999"}};
    for (const auto& [field, text] : rows) {
        QLabel* label = Field(field);
        EXPECT_LE(label->fontMetrics().horizontalAdvance(QString::fromLatin1(text)),
                  label->contentsRect().width() - label->indent())
            << text;
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
