// The diagram drawn by Qt (offscreen, base units 8 x 16): pixels probed where
// the mapping puts them and the column reduction against drawing every point.
// The mouse on the real window is tested with the dialogs.
#include <gtest/gtest.h>

#include <QPainter>

#include "support/diagram_history.h"
#include "support/fake_port.h"
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
    void TearDown() override { ReleaseDiagramMemory(state); }
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

}  // namespace
