// How fast the diagram paints. A 24,000-record, 17-link history is painted
// whole into a 1280 x 800 image, every switch and the grid on, at XZoom 1
// and 10, side by side with a floor: five QPainter::drawPolyline calls of the
// same 24,000 device points (every point, unreduced) with the same pens into
// the same image. Rounds are interleaved and the best time of each is kept,
// so that a busy machine slows all alike. Also the time of one step of
// right-button scrolling (a shift by 4 records and the synchronous paint).
// The last line gives the XZoom 1 ratio; the goals are paint/floor <= 0.5
// at XZoom 1 and <= 1.5 at XZoom 10.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>

#include "bench/big_history.h"
#include "core/app_state.h"
#include "support/diagram_history.h"
#include "support/fake_port.h"
#include "ui/view/diagram_widget.h"
#include "view/diagram_navigation.h"
#include "view/paint_plan.h"
#include "view/toolbar_rules.h"

namespace {

constexpr int kRecords = 24000;
constexpr int kLinks = 17;
constexpr int kWidth = 1280;
constexpr int kHeight = 800;
constexpr int kRounds = 30;

// The five curves' device points, every one of them, as the paint would
// place them before any reduction.
void RawCurves(AppState& state, QPolygon* curves) {
    const DiagramMapping m = SetupDiagramMapping(kWidth, kHeight, 8, 16);
    const PlotRect plot = PlotRectFor(kWidth, kHeight);
    const int count = BuildCurvePoints(state, 0, m, plot);
    for (int s = 0; s < 5; ++s) {
        CurvePoint* p = CurveSeriesPoints(state, s);
        ToDevicePolyline(m, p, count, 0);
        curves[s].resize(count);
        for (int k = 0; k < count; ++k) curves[s][k] = QPoint(p[k].X, p[k].Y);
    }
    FinishDiagramPaint(state);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    auto state = std::make_unique<AppState>();
    InitAppState(*state);
    if (!ReserveDiagramMemory(*state)) {
        std::fprintf(stderr, "cannot reserve the history areas\n");
        return 1;
    }
    SetChannelViewDefaults(state->ChannelTable[0]);
    // Values drift from call to call as a link's do (random jumps would make
    // every segment hundreds of pixels long and flatter the ratio).
    std::mt19937 rng(1);
    int walk[kLinks][6] = {};
    FillHistory(*state, 0, kRecords, kLinks, [&](int, FilledRecord& r) {
        for (int l = 0; l < kLinks; ++l) {
            int* v = walk[l];
            for (int f = 0; f < 5; ++f) v[f] = std::clamp(v[f] + static_cast<int>(rng() % 9) - 4, 0, 300);
            r.Links[l] =
                FilledSample{"", v[0], v[1], v[2], v[3], v[4], static_cast<int>(rng() % 50 == 0 ? 6 : 1)};
        }
    });
    std::snprintf(state->ChannelTable[0].CallPath, kCallPathSize, "QX0TST-2");
    state->ChannelTable[0].MarkerOffset = kRecords / 2;
    FakePort port;
    port.Checked[kCmdGrid] = 1;
    DiagramWidget widget(*state, port, BaseUnits{8, 16}, nullptr);
    widget.resize(kWidth, kHeight);
    QImage image(kWidth, kHeight, QImage::Format_RGB32);

    const int zooms[2] = {1, 10};
    double paint[2] = {1e9, 1e9}, floor[2] = {1e9, 1e9};
    QPolygon curves[2][5];
    for (int z = 0; z < 2; ++z) {
        state->XZoom = zooms[z];
        RawCurves(*state, curves[z]);
    }
    for (int round = 0; round < kRounds; ++round) {
        for (int z = 0; z < 2; ++z) {
            state->XZoom = zooms[z];
            image.fill(Qt::lightGray);
            paint[z] = std::min(paint[z], bench::Seconds([&] {
                                    QPainter painter(&image);
                                    widget.paintDiagram(painter);
                                }));
            image.fill(Qt::lightGray);
            floor[z] =
                std::min(floor[z], bench::Seconds([&] {
                             QPainter painter(&image);
                             for (int s = 0; s < 5; ++s) {
                                 painter.setPen(QPen(
                                     QColor(kCurveColours[s].R, kCurveColours[s].G, kCurveColours[s].B), 0));
                                 painter.drawPolyline(curves[z][s]);
                             }
                         }));
            benchmark::DoNotOptimize(image.constBits());
        }
    }

    // One right-button step: a shift by 4 records, then the paint it asks for.
    state->XZoom = 1;
    RightHold hold{};
    BeginRightHold(*state, port, kWidth, kHeight, kWidth / 4, kHeight / 2, hold);
    double step = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        step = std::min(step, bench::Seconds([&] {
                            RightHoldStep(*state, port, hold);
                            QPainter painter(&image);
                            widget.paintDiagram(painter);
                        }));
        if (state->ChannelTable[0].ScrollOffset == 0) state->ChannelTable[0].ScrollOffset = kRecords / 2;
    }
    EndRightHold(*state, hold);

    for (int z = 0; z < 2; ++z) {
        std::printf("XZoom %2d: paint %7.2f ms, floor %7.2f ms, paint/floor=%.2f\n", zooms[z], paint[z] * 1e3,
                    floor[z] * 1e3, paint[z] / floor[z]);
    }
    std::printf("right-button step at %d records: %.2f ms\n", kRecords, step * 1e3);
    ReleaseCurveMemory(*state);
    ReleaseHistoryMemory(*state);
    ReleaseCurveMemory(*state);
    std::printf("paint/floor=%.2f (XZoom 10: %.2f)\n", paint[0] / floor[0], paint[1] / floor[1]);
    return 0;
}
