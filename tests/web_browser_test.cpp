// The web pages in Chromium: the program runs headless as the demo (the
// simulated network, six days of history loaded, and at the real time scale
// no call due for a minute, so nothing changes meanwhile); Chromium loads the
// first channel's diagram, whose plot rectangle must match the window's own
// paint of the same history and view at the same size (fonts aside: within
// 1% of its pixels). The page the "next link" link leads to must show the
// next link's picture, matched the same way.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <memory>
#include <string>

#include "app/demo.h"
#include "core/platform_port.h"
#include "history/history_loader.h"
#include "support/diagram_history.h"
#include "support/fake_port.h"
#include "support/loopback_http.h"
#include "support/program_run.h"
#include "support/wait_for.h"
#include "ui/base_units.h"
#include "ui/program.h"
#include "ui/view/diagram_widget.h"
#include "view/diagram_svg.h"
#include "view/web_pages.h"

namespace {

constexpr const char* kChromium = "/usr/bin/chromium";

// A screenshot of `path` as Chromium draws it at 1000 x 800.
QImage Screenshot(const ProgramDirs& dirs, int port, const std::string& path) {
    const std::string file = dirs.Scratch.File("shot.png");
    std::remove(file.c_str());
    const std::string command = std::string(kChromium) +
                                " --headless --no-sandbox --disable-gpu --no-first-run "
                                "--disable-background-networking --disable-component-update --disable-sync "
                                "--hide-scrollbars --force-device-scale-factor=1 --user-data-dir=" +
                                dirs.Scratch.File("chromium") +
                                " --window-size=1000,800 --screenshot=" + file +
                                " 'http://127.0.0.1:" + std::to_string(port) + path + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return QImage(QString::fromStdString(file)).convertToFormat(QImage::Format_RGB32);
}

// Where the diagram's picture starts in a screenshot: the top left corner
// of the first 16 x 16 square of the client background colour (a text's
// smoothed edge may hold a pixel of that colour too).
QPoint PictureOrigin(const QImage& shot) {
    const QRgb background = QColor(kSvgBackground).rgb();
    auto square = [&](int x0, int y0) {
        for (int y = y0; y < y0 + 16; ++y)
            for (int x = x0; x < x0 + 16; ++x)
                if (shot.pixel(x, y) != background) return false;
        return true;
    };
    for (int y = 0; y + 16 < shot.height(); ++y)
        for (int x = 0; x + 16 < shot.width(); ++x)
            if (square(x, y)) return {x, y};
    return {-1, -1};
}

// Pixels of the plot rectangle that differ, per hundred.
double PlotDifference(const QImage& shot, const QImage& painted, const PlotRect& plot) {
    const QPoint at = PictureOrigin(shot);
    if (at.x() < 0) return 100;
    long long differ = 0, total = 0;
    for (int y = plot.top; y < plot.bottom; ++y) {
        for (int x = plot.left; x < plot.right; ++x) {
            ++total;
            differ += shot.pixel(at.x() + x, at.y() + y) != painted.pixel(x, y);
        }
    }
    return 100.0 * static_cast<double>(differ) / static_cast<double>(total);
}

// The window's paint of `state` at the page's size, through the diagram
// widget (its paint builds the plan and executes it with QPainter).
QImage WindowPaint(AppState& state) {
    FakePort port;
    DiagramWidget widget(state, port, BaseUnits{kWebBaseUnitX, kWebBaseUnitY}, nullptr);
    widget.resize(kWebDiagramWidth, kWebDiagramHeight);
    QImage image(kWebDiagramWidth, kWebDiagramHeight, QImage::Format_RGB32);
    image.fill(QColor(kSvgBackground));
    QPainter painter(&image);
    widget.paintDiagram(painter);
    return image;
}

TEST(WebPagesInChromium, DiagramMatchesTheWindowAndNextLinkMovesOn) {
    if (access(kChromium, X_OK) != 0) GTEST_SKIP() << "chromium is not installed (apt-get install chromium)";
    ProgramDirs dirs;
    const std::string cache = dirs.Scratch.File("cache");
    setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    const std::string demo = cache + "/hopwatch/demo";
    const int port = FreeLoopbackPort();
    // At the real time scale the demo's next call is a minute away.
    Processes running;
    running.Pids.push_back(StartProgram(
        {"--demo", "--headless", "--time-scale", "1", "--metrics", "127.0.0.1:" + std::to_string(port)},
        dirs.Runtime, dirs.Errors));
    const auto served = [&] {
        return HttpRequest(-1, port, "/channel/1").find("id=\"next-link\"") != std::string::npos;
    };
    ASSERT_TRUE(WaitFor(served, 15000)) << ReadAll(dirs.Errors);

    // The program's history of channel 1, loaded as the window loads it.
    auto state = std::make_unique<AppState>();
    InitAppState(*state);
    ASSERT_TRUE(ReserveDiagramMemory(*state));
    std::snprintf(state->DataDir, sizeof state->DataDir, "%s", demo.c_str());
    std::strcpy(state->ChannelTable[0].CallPath, kDemoDigipeaters[0]);
    state->ChannelTable[0].RufAktiv = 1;
    FakePort loading;
    ASSERT_EQ(LoadHistory(*state, loading, 0), 1);
    ASSERT_GT(state->ChannelTable[0].RecordCount, 500);

    // The same view the page shows by default, painted as the window paints.
    auto scratch = std::make_unique<WebScratch>();
    ASSERT_TRUE(ReserveWebScratch(*scratch));
    const QImage first = Screenshot(dirs, port, "/channel/1");
    const QImage second = Screenshot(dirs, port, "/channel/1?link=2");  // where "next link" leads
    QImage painted[2];
    PlotRect plot{};
    for (int link = 1; link <= 2; ++link) {
        const std::string query = "link=" + std::to_string(link);
        BuildWebPlan(*state, *scratch, ParseWebView(0, query.data(), query.size()));
        FinishDiagramPaint(scratch->State);
        plot = scratch->Plan.Plot;
        painted[link - 1] = WindowPaint(scratch->State);
    }
    const double same[2] = {PlotDifference(first, painted[0], plot),
                            PlotDifference(second, painted[1], plot)};
    const double changed = PlotDifference(second, painted[0], plot);
    EXPECT_LT(same[0], 1.0) << "link 1 as the window paints it";
    EXPECT_LT(same[1], 1.0) << "link 2 as the window paints it";
    // Most of the plot is white either way: the curves are what changes.
    EXPECT_GT(changed, 3 * same[1]) << "the picture changed to the next link";

    ReleaseWebScratch(*scratch);
    ReleaseDiagramMemory(*state);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char runtime[] = "/tmp/hopwatch-qt-runtime-XXXXXX";
    if (mkdtemp(runtime) != nullptr) setenv("XDG_RUNTIME_DIR", runtime, 1);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
