// The diagram drawn by Qt (offscreen, base units 8 x 16): pixels probed where
// the mapping puts them, the column reduction against drawing every point,
// the mouse on the real window, and readouts that fit their fields.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <random>

#include "core/app_state.h"
#include "app/session.h"
#include "app/tick_dispatch.h"
#include "view/diagram_geometry.h"
#include "view/paint_plan.h"
#include "view/toolbar_rules.h"
#include "ui/client_area.h"
#include "ui/gui_shell.h"
#include "ui/main_window.h"
#include "ui/program.h"
#include "ui/status_bar_widget.h"
#include "ui/tick_timers.h"
#include "ui/view/diagram_widget.h"
#include "support/diagram_history.h"
#include "support/fake_port.h"
#include "support/scratch.h"

namespace {

constexpr int kW = 648;
constexpr int kH = 480;

QRgb Rgb(PlanColour c) {
    return qRgb(c.R, c.G, c.B);
}

class DiagramPixels : public ::testing::Test {
protected:
    void SetUp() override {
        InitAppState(state);
        ASSERT_EQ(ReserveDiagramMemory(state), 1);
        for (ChannelRecord& c : state.ChannelTable) {
            SetChannelViewDefaults(c);
            c.YZoomStep = 1;
        }
        widget.resize(kW, kH);
    }
    void TearDown() override {
        ReleaseCurveMemory(state);
        ReleaseHistoryMemory(state);
    }
    QImage Paint(bool reduce = true) {
        QImage image(kW, kH, QImage::Format_RGB32);
        image.fill(qRgb(192, 192, 192));
        widget.setReduceColumns(reduce);
        QPainter painter(&image);
        widget.paintDiagram(painter);
        return image;
    }
    // Constant curves at 50, 150, 250, 350, 450; link states by record.
    void Steady(int count, const int* states, int stateCount) {
        FillHistory(state, 0, count, 2, [&](int i, HistoryRecord& r) {
            r.Links[0] = LinkSample{"L", 50, 150, 250, 350, 450, states[i % stateCount]};
        });
    }

    AppState state;
    FakePort port;
    BaseUnits units{8, 16};
    DiagramWidget widget{state, port, units, nullptr};
    DiagramMapping m = SetupDiagramMapping(kW, kH, 8, 16);
};

TEST_F(DiagramPixels, FrameCurvesMarkerAndNewestLine) {
    const int states[] = {1};
    Steady(40, states, 1);
    state.XZoom = 10;
    state.ChannelTable[0].MarkerOffset = 30;  // record 9
    const QImage image = Paint();
    EXPECT_EQ(image.pixel(30, 60), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(kW - 24, kH - 41), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(29, 200), qRgb(192, 192, 192));
    EXPECT_EQ(image.pixel(m.ToDeviceX(55), m.ToDeviceY(100)), qRgb(255, 255, 255));
    const int values[5] = {50, 150, 250, 350, 450};
    for (int s = 0; s < 5; ++s) {
        EXPECT_EQ(image.pixel(m.ToDeviceX(205), m.ToDeviceY(values[s])), Rgb(kCurveColours[s])) << s;
    }
    EXPECT_EQ(image.pixel(m.ToDeviceX(90), m.ToDeviceY(100)), Rgb(kMarkerColour));
    EXPECT_EQ(image.pixel(m.ToDeviceX(390), m.ToDeviceY(100)), Rgb(kNewestColour));
    EXPECT_EQ(port.Status[kFieldMarkerTime], "X-Pos: 00:09/06.12.26");
}

TEST_F(DiagramPixels, UsageStripColoursAndGridOnLabelledRows) {
    const int states[] = {0, 1, 2, 5, 6, 6};
    Steady(6, states, 6);
    state.XZoom = 20;
    port.Checked[kCmdGrid] = 1;
    const QImage image = Paint();
    const int barY = m.ToDeviceY(LogicalTop(m, PlotRectFor(kW, kH)) - 7);
    const int classes[] = {2, 1, 0, 3, 4};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(image.pixel(m.ToDeviceX(20 * k + 10), barY), Rgb(kUsageColours[classes[k]])) << k;
    }
    // Grid lines only on labelled rows (every second tick at zoom step 1).
    auto gridPixels = [&](int logicalY) {
        int n = 0;
        for (int x = m.ToDeviceX(130); x < kW - 30; ++x) n += image.pixel(x, m.ToDeviceY(logicalY)) == Rgb(kGridColour);
        return n;
    };
    EXPECT_GT(gridPixels(20), 50);
    EXPECT_EQ(gridPixels(10), 0);
    EXPECT_EQ(gridPixels(0), 0);
}

TEST_F(DiagramPixels, CurveLabelLeftOutWhenItWouldStickOut) {
    const int states[] = {1};
    Steady(40, states, 1);
    auto inkRightOfMarker = [&](const QImage& image, int x) {
        int n = 0;
        const int dx = m.ToDeviceX(x);
        for (int y = m.ToDeviceY(50) - 9; y < m.ToDeviceY(50) - 1; ++y) {
            for (int px = dx + 2; px < dx + 20 && px < kW - 24; ++px) n += image.pixel(px, y) == qRgb(0, 0, 0);
        }
        return n;
    };
    state.ChannelTable[0].MarkerOffset = 35;  // record 4: "QTY" fits
    EXPECT_GT(inkRightOfMarker(Paint(), 40), 5);
    state.XZoom = 20;
    Steady(59, states, 1);
    state.ChannelTable[0].MarkerOffset = 0;  // the newest, at the right edge
    const int right = LogicalRightEdge(m, PlotRectFor(kW, kH));
    EXPECT_EQ(inkRightOfMarker(Paint(), right - 1), 0);
}

TEST_F(DiagramPixels, DrawingOnePixelColumnAtATimeChangesNoPixel) {
    const int cases[][2] = {{1, 1}, {24000, 1}, {24000, 10}, {5000, 3}, {777, 20}, {2, 7}};
    unsigned seed = 1;
    for (const auto& c : cases) {
        FillRandomHistory(state, 0, c[0], 3, seed++);
        state.XZoom = c[1];
        state.ChannelTable[0].MarkerOffset = c[0] / 3;
        state.ChannelTable[0].YZoomStep = 2;
        const QImage reduced = Paint(true);
        const QImage full = Paint(false);
        EXPECT_TRUE(reduced == full) << c[0] << " records at XZoom " << c[1];
    }
}

TEST(DiagramCursors, HotSpotAndDirection) {
    const QCursor newer = DiagramCursor(kCursorScrollNewer);
    const QCursor older = DiagramCursor(kCursorScrollOlder);
    EXPECT_EQ(newer.hotSpot(), QPoint(15, 14));
    EXPECT_EQ(newer.bitmap().size(), QSize(32, 32));
    EXPECT_NE(newer.bitmap().toImage(), older.bitmap().toImage());
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
    QString Field(int k) { return shell->window()->clientArea()->statusBar()->field(k)->text(); }

    ScratchDir scratch;
    AppState state;
    ShellSession session{};
    std::unique_ptr<GuiShell> shell;
};

TEST_F(DiagramWindow, ClickPutsTheMarkerAndXPosShowsItsTime) {
    Start(BaseUnits{8, 16});
    FillHistory(state, 0, 30, 2, [](int, HistoryRecord&) {});
    Diagram().repaint();
    EXPECT_EQ(Field(kFieldMarkerTime), "X-Pos: 00:29/06.12.26");
    const DiagramMapping m = SetupDiagramMapping(Diagram().width(), Diagram().height(), 8, 16);
    QTest::mouseClick(&Diagram(), Qt::LeftButton, {}, QPoint(m.ToDeviceX(10 * 7), Diagram().height() / 2));
    Diagram().repaint();
    EXPECT_EQ(state.ChannelTable[0].MarkerOffset, 22);
    EXPECT_EQ(Field(kFieldMarkerTime), "X-Pos: 00:07/06.12.26");
    // Toolbar commands reach the diagram.
    shell->window()->runCommand(kCmdShiftMarkerLeft);
    EXPECT_EQ(state.ChannelTable[0].MarkerOffset, 23);
}

TEST_F(DiagramWindow, RightHoldScrollsUntilReleaseAndHoldsTheTicksBack) {
    Start(BaseUnits{8, 16});
    FillHistory(state, 0, 300, 2, [](int, HistoryRecord&) {});
    DiagramWidget& d = Diagram();
    const QPoint right(d.width() * 3 / 4, d.height() / 2);
    shell->timers().start(kSecondTimerId, 5);
    shell->window()->setStatusText(kFieldCycle, "held");
    QTest::mousePress(&d, Qt::RightButton, {}, right);
    QTest::qWait(120);
    const int during = state.ChannelTable[0].ScrollOffset;
    EXPECT_GE(during, 4 * 3);
    EXPECT_EQ(during % 4, 0);
    EXPECT_EQ(state.ChannelTable[0].ScrollStep, 4);
    EXPECT_EQ(Field(kFieldCycle), "held");  // no second tick ran
    QTest::mouseRelease(&d, Qt::RightButton, {}, right);
    EXPECT_EQ(Field(kFieldCycle), "Ready");  // the held tick ran once, at release
    EXPECT_EQ(state.ChannelTable[0].ScrollStep, 24);
    QTest::qWait(40);
    EXPECT_EQ(state.ChannelTable[0].ScrollOffset, during);
    // In the left half towards older records.
    QTest::mousePress(&d, Qt::RightButton, {}, QPoint(100, d.height() / 2));
    QTest::qWait(60);
    QTest::mouseRelease(&d, Qt::RightButton, {}, QPoint(100, d.height() / 2));
    EXPECT_LT(state.ChannelTable[0].ScrollOffset, during);
}

TEST_F(DiagramWindow, ReadoutsFitTheirFieldsAtTheDefaultFont) {
    Start(MeasureBaseUnits(QApplication::font()));
    const struct { int field; const char* text; } rows[] = {
        {kFieldMarkerTime, "X-Pos: 23:59/31.12.26"}, {kFieldXZoom, "XZoom: 20"},
        {kFieldYZoom, "YZoom: 0,6"}, {kFieldQty, "Qty: 255"}, {kFieldTime, "Time: 9999/9999"},
    };
    for (const auto& r : rows) {
        QLabel* label = shell->window()->clientArea()->statusBar()->field(r.field);
        const int room = label->contentsRect().width() - label->indent();
        EXPECT_LE(label->fontMetrics().horizontalAdvance(QString::fromLatin1(r.text)), room) << r.text;
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
