// The web pages as bytes: each paint plan operation as SVG, views of a
// history down to the per-column reduction at 24,000 records; the
// availability and outage tables of a history holding every class, across a
// range boundary, from memory, from the file and as JSON; and names holding
// markup and quotes in HTML, SVG and JSON.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "history/history_series.h"
#include "support/diagram_history.h"
#include "support/scratch.h"
#include "view/diagram_svg.h"
#include "view/link_availability.h"
#include "view/web_pages.h"

namespace {

struct Web {
    std::unique_ptr<AppState> owned = std::make_unique<AppState>();
    AppState& state = *owned;
    std::unique_ptr<WebScratch> scratch = std::make_unique<WebScratch>();
    Web() {
        InitAppState(state);
        EXPECT_TRUE(ReserveDiagramMemory(state) && ReserveWebScratch(*scratch));
    }
    ~Web() {
        ReleaseWebScratch(*scratch);
        ReleaseDiagramMemory(state);
    }
    std::string Get(const std::string& target, int* status = nullptr) {
        WebAnswer answer;
        const WebInputs inputs{1796601600, MetricsInputs{1796601600, 1796600000, Layer2Health{1, 0}}};
        AnswerWebRequest(state, *scratch, inputs, target.data(), target.size(), answer);
        if (status) *status = answer.Status;
        return answer.Body;
    }
};

// Each plan operation as the elements the browser draws: rectangles of whole
// pixels (none for an empty one), a straight line as the rectangle covering
// both end points, the dotted grid line as a path, curves of two points or
// more, texts escaped and anchored, the usage bar's segments.
TEST(DiagramSvg, EachPlanOperationAsItsElements) {
    const auto plan = std::make_unique<PaintPlan>();
    CurvePoint points[2] = {{1, 2}, {3, 4}};
    plan->Series[0] = points;
    plan->Bars[0] = {2, 10, 5, 12, {0, 0, 0}}, plan->BarCount = 1;
    auto item = [&](PlanOp op, int x0, int y0, int x1, int y1, int alignOrCount = 0, const char* text = "") {
        PlanItem& i = plan->Items[plan->ItemCount++];
        i = PlanItem{op, {0x12, 0xab, 0xff}, x0, y0, x1, y1, alignOrCount, 0, alignOrCount, 0, {}};
        std::strcpy(i.Text, text);
    };
    item(PlanOp::FillRect, 1, 2, 4, 6);
    item(PlanOp::FillRect, 4, 2, 4, 6);
    item(PlanOp::FrameRect, 0, 0, 3, 2);
    item(PlanOp::Line, 5, 9, 5, 7);
    item(PlanOp::DottedLine, 0, 3, 8, 3);
    item(PlanOp::Polyline, 0, 0, 0, 0, 2);
    item(PlanOp::Polyline, 0, 0, 0, 0, 1);
    item(PlanOp::Text, 7, 8, 0, 0, kAlignLeftBaseline, "a<b&\"");
    item(PlanOp::Text, 7, 8, 0, 0, kAlignRightTop, "r");
    item(PlanOp::UsageBar, 0, 0, 0, 0);
    std::string svg;
    AppendPlanSvg(*plan, 30, 20, svg);
    const std::string frame =
        "<rect x=\"0\" y=\"0\" width=\"3\" height=\"1\" fill=\"#12abff\"/>"
        "<rect x=\"0\" y=\"1\" width=\"3\" height=\"1\" fill=\"#12abff\"/>"
        "<rect x=\"0\" y=\"0\" width=\"1\" height=\"2\" fill=\"#12abff\"/>"
        "<rect x=\"2\" y=\"0\" width=\"1\" height=\"2\" fill=\"#12abff\"/>\n";
    EXPECT_EQ(
        svg,
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"30\" height=\"20\" viewBox=\"0 0 30 20\" "
        "shape-rendering=\"crispEdges\" font-family=\"DejaVu Sans, sans-serif\" font-size=\"12px\"><style>"
        ".l{fill:none;stroke-width:1px;stroke-linecap:square;stroke-linejoin:bevel;"
        "transform:translate(.5px,.5px)}</style><rect width=\"100%\" height=\"100%\" fill=\"#f0f0f0\"/>"
        "<rect x=\"1\" y=\"2\" width=\"3\" height=\"4\" fill=\"#12abff\"/>\n\n" +
            frame +
            "<rect x=\"5\" y=\"7\" width=\"1\" height=\"3\" fill=\"#12abff\"/>\n"
            "<path d=\"M0 3L8 3\" stroke=\"#12abff\" stroke-dasharray=\"1 2\" stroke-linecap=\"butt\" "
            "class=\"l\"/>\n"
            "<polyline stroke=\"#12abff\" class=\"l\" points=\"1,2 3,4\"/>\n\n"
            "<text x=\"7\" y=\"8\" fill=\"#12abff\">a&lt;b&amp;&quot;</text>\n"
            "<text x=\"7\" y=\"8\" dominant-baseline=\"text-before-edge\" text-anchor=\"end\" "
            "fill=\"#12abff\">r</text>\n"
            "<rect x=\"2\" y=\"10\" width=\"3\" height=\"2\" fill=\"#000000\"/>\n</svg>");
}

// Real views, the per-column reduction at 24,000 records among them: every
// curve is drawn, with at most four points per pixel column; the links under
// the picture lead where the toolbar would go; the window's own view stays
// as it was.
TEST(DiagramSvg, ViewsOfAHistoryAndTheLinksUnderThem) {
    Web w;
    FillRandomHistory(w.state, 0, 300, 5, 7);
    FillRandomHistory(w.state, 1, kHistoryCapacity, 17, 8);
    std::strcpy(w.state.ChannelTable[0].CallPath, "QX0TST-2");
    std::strcpy(w.state.ChannelTable[1].CallPath, "QX0BIG");
    const std::pair<int, const char*> cases[] = {
        {0, ""},
        {0, "link=3&xzoom=2&yzoom=11&grid=1&marker=40"},
        {0, "scroll=0&xzoom=20"},
        {1, "xzoom=1&scroll=0&link=17"},
    };
    for (const auto& [channel, query] : cases) {
        SCOPED_TRACE(query);
        BuildWebPlan(w.state, *w.scratch, ParseWebView(channel, query, std::strlen(query)));
        const PaintPlan& plan = w.scratch->Plan;
        std::string svg;
        AppendPlanSvg(plan, kWebDiagramWidth, kWebDiagramHeight, svg);
        for (int i = 0; i < plan.ItemCount; ++i) {
            if (plan.Items[i].Op != PlanOp::Polyline) continue;
            EXPECT_LE(plan.Items[i].Count, 4 * (plan.Plot.right - plan.Plot.left));
        }
        int drawn = 0;
        for (std::size_t at = 0; (at = svg.find("<polyline", at + 1)) != std::string::npos;) ++drawn;
        EXPECT_EQ(drawn, 5);
        EXPECT_LT(svg.size(), 400u * 1024) << "the page's picture stays small";
        FinishDiagramPaint(w.scratch->State);
    }
    const std::string page = w.Get("/channel/1?link=2&xzoom=20");
    for (const char* link :
         {"id=\"next-link\" href=\"/channel/1?link=3&amp;xzoom=20\"",
          "id=\"previous-link\" href=\"/channel/1?xzoom=20\"",
          "id=\"x-zoom-out\" href=\"/channel/1?link=2&amp;xzoom=19\"", "<span>X zoom in</span>",
          "id=\"next-channel\" href=\"/channel/2?xzoom=20\"", "<span>previous channel</span>"}) {
        EXPECT_NE(page.find(link), std::string::npos) << link;
    }
    // At the last link, "next link" leads nowhere.
    EXPECT_NE(w.Get("/channel/1?link=5").find("<span>next link</span>"), std::string::npos);
    int status = 0;
    w.Get("/channel/5", &status);
    EXPECT_EQ(status, 404);
    w.Get("/channel/1/../../etc/passwd", &status);
    EXPECT_EQ(status, 404);
    EXPECT_EQ(w.state.XZoom, 10) << "the window's view is untouched";
    EXPECT_EQ(w.state.ChannelTable[0].LinkIndex, 1);
    EXPECT_EQ(w.state.ChannelTable[0].ScrollOffset, 0);
    EXPECT_EQ(w.state.CurvePoints[0].Committed, 0u) << "the window's point buffers are not used";
}

// Twelve calls a minute apart on link 1: figure, figure, brackets, down,
// failed, figure, none, none, failed, figure, none, none.
const int kStates[] = {1, 1, 2, 5, 6, 1, 0, 0, 6, 1, 0, 0};

void FillEveryClass(AppState& state) {
    FillHistory(state, 0, 12, 2, [](int i, FilledRecord& r) {
        r.Links[0].LinkState = kStates[i];
        r.Links[1].LinkState = 1;
        r.Links[0].Qty = 10 * i;
    });
    std::strcpy(state.ChannelTable[0].CallPath, "QX0TST");
    state.ChannelTable[0].RestoreLineCount = 4;
}

std::string Outages(const OutageList& list) {
    std::string text;
    for (int i = 0; i < list.Kept; ++i) {
        const Outage& o = list.Items[i];
        char line[64];
        std::snprintf(line, sizeof line, "%lld-%lld/%lld%s ", o.Start % 60, o.End % 60, o.Calls,
                      o.Ongoing ? "+" : "");
        text += line;
    }
    return text;
}

TEST(Availability, EveryClassAcrossARangeBoundary) {
    Web w;
    FillEveryClass(w.state);
    const long long start = WallMinute(6, 12, 26, 0, 0);
    struct Case {
        long long From, To;
        std::vector<long long> Calls;  // brackets, figure, none, down, failed
        std::string Outages;           // start-end/calls, newest first; + = ongoing
    } cases[] = {
        // The whole history is counted as the command line prints it, below.
        // From minute 4: the outage of minutes 3 and 4 is cut at the boundary.
        {start + 4, kNoLimit, {0, 2, 4, 0, 2}, "10-11/2+ 6-9/3 4-5/1 "},
        // Up to minute 7: the outage under way at the end is ongoing there.
        {start, start + 7, {1, 3, 1, 1, 1}, "6-6/1+ 3-5/2 "},
        {start + 20, kNoLimit, {0, 0, 0, 0, 0}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.From) + ".." + std::to_string(c.To));
        LinkAvailability a;
        OutageList list;
        ChannelAvailability(w.state, 0, 1, c.From, c.To, a, &list);
        EXPECT_EQ(std::vector<long long>(a.Calls, a.Calls + kCallClassCount), c.Calls);
        EXPECT_EQ(Outages(list), c.Outages);
    }

    // The same numbers as JSON, the range given as local times.
    const std::string json =
        w.Get("/api/availability?channel=1&link=1&from=2026-12-06T00:04&to=" + std::to_string(9999999999LL));
    EXPECT_NE(json.find("\"classes\":{\"brackets\":0,\"figure\":2,\"no_figure\":4,\"down\":0,\"failed\":2}"),
              std::string::npos)
        << json;
    EXPECT_NE(
        json.find("{\"start\":\"2026-12-06 00:04\",\"end\":\"2026-12-06 00:05\",\"minutes\":1,\"calls\":1,"
                  "\"ongoing\":false}]"),
        std::string::npos)
        << json;
    const std::string page = w.Get("/channel/1/outages?link=1");
    EXPECT_NE(page.find("3 outages, newest first"), std::string::npos);
    EXPECT_NE(page.find("ongoing, last call 2026-12-06 00:11"), std::string::npos);
}

TEST(Availability, FromAHistoryFileAsTheCommandLinePrintsIt) {
    ScratchDir dir;
    std::string file = "2  QX0AAA p1      QX0BBB p2      ";
    for (int i = 0; i < 12; ++i) {
        char record[96];
        std::snprintf(record, sizeof record, "\r\n06.12.26 00:%02d 1 5 6 %d 3 4 %d 1 5 6 7 3 4 1 ", i, 10 * i,
                      kStates[i]);
        file += record;
    }
    WriteAll(dir.File("QX0TST.hpw"), file + "\r\n06.12.26 00:1");
    std::FILE* out = std::fopen(dir.File("out").c_str(), "w");
    std::FILE* err = std::fopen(dir.File("err").c_str(), "w");
    EXPECT_EQ(PrintAvailabilityFile(dir.File("QX0TST.hpw").c_str(), 1, out, err), 1) << "a damaged end";
    std::fclose(out);
    std::fclose(err);
    const std::string printed = ReadAll(dir.File("out"));
    EXPECT_NE(
        printed.find("QX0AAA          p1                   12   41.7%   33.3%    8.3%   33.3%    8.3%   16.7%"
                     "       3      3 min\n"),
        std::string::npos)
        << printed;
    EXPECT_NE(printed.find("2026-12-06 00:10  2026-12-06 00:11          1       2  ongoing\n"
                           "2026-12-06 00:06  2026-12-06 00:09          3       3\n"),
              std::string::npos)
        << printed;
    EXPECT_NE(ReadAll(dir.File("err")).find("the 12 complete records before it were counted"),
              std::string::npos);
}

// Link names and identifiers as the radio sent them, markup and quotes,
// bytes that are not UTF-8 and control characters: every page shows them
// as text.
TEST(WebEscaping, NamesFromTheRadioNeverBecomeMarkup) {
    Web w;
    FillHistory(w.state, 0, 1, 1, [](int, FilledRecord&) {});
    std::strcpy(w.state.ChannelTable[0].CallPath, "QX0TST");
    const char names[1][kCellSize] = {"<b>&\"y"}, idents[1][kCellSize] = {"<i>\""};
    SetSeriesLinks(w.state, 0, 1, names, idents);
    const std::string overview = w.Get("/"), diagram = w.Get("/channel/1"), json = w.Get("/api/channels");
    EXPECT_NE(overview.find(">&lt;b&gt;&amp;&quot;y</a>"), std::string::npos);
    EXPECT_NE(overview.find(">&lt;i&gt;&quot;</td>"), std::string::npos);
    EXPECT_NE(diagram.find("<title>Channel 1: Digipeater QX0TST, Link to &lt;b&gt;&amp;&quot;y</title>"),
              std::string::npos);
    EXPECT_NE(diagram.find(">Channel 1: Digipeater QX0TST, Link to &lt;b&gt;&amp;&quot;y</text>"),
              std::string::npos)
        << "the SVG title";
    EXPECT_NE(json.find("\"name\":\"<b>&\\\"y\",\"ident\":\"<i>\\\"\""), std::string::npos) << json;

    const char other[1][kCellSize] = {"M\xFCn\x01\\"};
    SetSeriesLinks(w.state, 0, 1, other, idents);
    EXPECT_NE(w.Get("/").find(">M\\xFCn\\x01\\</a>"), std::string::npos);
    EXPECT_NE(w.Get("/api/channels").find("\"name\":\"M\\\\xFCn\\\\x01\\\\\""), std::string::npos);
}

}  // namespace
