// The web pages as bytes: the diagram's SVG item by item against the paint
// plan it was built from (several views, the per-column reduction at 24,000
// records among them); the availability and outage tables of a history
// holding every class, across a range boundary, from memory, from the file
// and as JSON; and names holding markup and quotes, received from a scripted
// digipeater, in HTML, SVG and JSON.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/connect_cycle.h"
#include "core/link_column.h"
#include "history/history_series.h"
#include "support/diagram_history.h"
#include "support/fake_port.h"
#include "support/scratch.h"
#include "support/script_network.h"
#include "view/diagram_svg.h"
#include "view/link_availability.h"
#include "view/web_pages.h"

namespace {

// One SVG element: its name, attributes and the text up to the next tag.
struct Element {
    std::string Name;
    std::map<std::string, std::string> Attributes;
    std::string Text;
    int At(const char* name) const { return std::stoi(Attributes.at(name)); }
};

std::vector<Element> ParseSvg(const std::string& svg) {
    std::vector<Element> out;
    for (std::size_t at = svg.find('<'); at != std::string::npos; at = svg.find('<', at + 1)) {
        if (svg[at + 1] == '/') continue;
        Element e;
        std::size_t p = at + 1;
        while (p < svg.size() && svg[p] != ' ' && svg[p] != '>' && svg[p] != '/') e.Name += svg[p++];
        while (p < svg.size() && svg[p] != '>') {
            const std::size_t eq = svg.find("=\"", p);
            const std::size_t close = svg.find('>', p);
            if (eq == std::string::npos || eq > close) break;
            std::size_t start = svg.rfind(' ', eq) + 1;
            const std::size_t end = svg.find('"', eq + 2);
            e.Attributes[svg.substr(start, eq - start)] = svg.substr(eq + 2, end - eq - 2);
            p = end + 1;
        }
        const std::size_t next = svg.find('<', p);
        e.Text = svg.substr(p + 1, next - p - 1);
        out.push_back(e);
    }
    return out;
}

std::string Escaped(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) out += *p == '<' ? std::string("&lt;") : std::string(1, *p);
    return out;
}

std::string Colour(PlanColour c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.R, c.G, c.B);
    return text;
}

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

// Walks the plan's items and the SVG's elements side by side: each item
// must appear as the elements that draw it, in order, with its pixels,
// colour and text, and nothing else may be drawn.
void ExpectSvgIsPlan(const PaintPlan& plan, const std::string& svg) {
    const std::vector<Element> all = ParseSvg(svg);
    ASSERT_GE(all.size(), 3u);
    ASSERT_EQ(all[0].Name, "svg");
    EXPECT_EQ(all[0].Attributes.at("shape-rendering"), "crispEdges");
    std::size_t e = 3;  // after <svg>, <style> and the background
    auto rect = [&](int x0, int y0, int x1, int y1, PlanColour c) {
        if (x1 <= x0 || y1 <= y0) return;
        ASSERT_LT(e, all.size());
        const Element& r = all[e++];
        EXPECT_EQ(r.Name, "rect");
        EXPECT_EQ(std::vector<int>({r.At("x"), r.At("y"), r.At("width"), r.At("height")}),
                  std::vector<int>({x0, y0, x1 - x0, y1 - y0}));
        EXPECT_EQ(r.Attributes.at("fill"), Colour(c));
    };
    for (int i = 0; i < plan.ItemCount; ++i) {
        const PlanItem& item = plan.Items[i];
        SCOPED_TRACE("item " + std::to_string(i));
        switch (item.Op) {
            case PlanOp::FillRect:
                rect(item.X0, item.Y0, item.X1, item.Y1, item.Colour);
                break;
            case PlanOp::FrameRect:
                rect(item.X0, item.Y0, item.X1, item.Y0 + 1, item.Colour);
                rect(item.X0, item.Y1 - 1, item.X1, item.Y1, item.Colour);
                rect(item.X0, item.Y0, item.X0 + 1, item.Y1, item.Colour);
                rect(item.X1 - 1, item.Y0, item.X1, item.Y1, item.Colour);
                break;
            case PlanOp::Line:
                ASSERT_TRUE(item.X0 == item.X1 || item.Y0 == item.Y1) << "the plan draws straight lines";
                rect(std::min(item.X0, item.X1), std::min(item.Y0, item.Y1), std::max(item.X0, item.X1) + 1,
                     std::max(item.Y0, item.Y1) + 1, item.Colour);
                break;
            case PlanOp::DottedLine: {
                const Element& p = all[e++];
                EXPECT_EQ(p.Attributes.at("d"), "M" + std::to_string(item.X0) + " " +
                                                    std::to_string(item.Y0) + "L" + std::to_string(item.X1) +
                                                    " " + std::to_string(item.Y1));
                EXPECT_EQ(p.Attributes.at("stroke-dasharray"), "1 2");
                break;
            }
            case PlanOp::Polyline: {
                const Element& p = all[e++];
                EXPECT_EQ(p.Name, "polyline");
                EXPECT_EQ(p.Attributes.at("stroke"), Colour(item.Colour));
                std::string expected;
                for (int k = 0; k < item.Count; ++k) {
                    const CurvePoint& point = plan.Series[item.Series][k];
                    expected += (k ? " " : "") + std::to_string(point.X) + "," + std::to_string(point.Y);
                }
                EXPECT_EQ(p.Attributes.at("points"), expected);
                break;
            }
            case PlanOp::Text: {
                const Element& t = all[e++];
                EXPECT_EQ(t.Name, "text");
                EXPECT_EQ(std::vector<int>({t.At("x"), t.At("y")}), std::vector<int>({item.X0, item.Y0}));
                EXPECT_EQ(t.Text, Escaped(item.Text));
                EXPECT_EQ(t.Attributes.count("text-anchor"), item.Align == kAlignRightTop ? 1u : 0u);
                break;
            }
            case PlanOp::UsageBar:
                for (int b = 0; b < plan.BarCount; ++b) {
                    const BarSegment& s = plan.Bars[b];
                    rect(s.Left, s.Top, s.Right, s.Bottom, s.Colour);
                }
                break;
        }
    }
    EXPECT_EQ(e, all.size()) << "nothing drawn beyond the plan";
}

TEST(DiagramSvg, CarriesExactlyThePlanItems) {
    Web w;
    FillRandomHistory(w.state, 0, 300, 5, 7);
    FillRandomHistory(w.state, 1, kHistoryCapacity, 17, 8);
    std::strcpy(w.state.ChannelTable[0].CallPath, "QX0TST-2");
    std::strcpy(w.state.ChannelTable[1].CallPath, "QX0BIG");
    struct Case {
        const char* Name;
        int Channel;
        const char* Query;
        int MinItems;
    } cases[] = {
        {"default view", 0, "", 20},
        {"link 3, zoomed, grid, marker", 0, "link=3&xzoom=2&yzoom=11&grid=1&marker=40", 20},
        {"scrolled to the oldest", 0, "scroll=0&xzoom=20", 20},
        {"24,000 records at XZoom 1, reduced per column", 1, "xzoom=1&scroll=0&link=17", 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const WebView view = ParseWebView(c.Channel, c.Query, std::strlen(c.Query));
        BuildWebPlan(w.state, *w.scratch, view);
        std::string svg;
        AppendPlanSvg(w.scratch->Plan, kWebDiagramWidth, kWebDiagramHeight, svg);
        const PaintPlan& plan = w.scratch->Plan;
        EXPECT_GE(plan.ItemCount, c.MinItems);
        ExpectSvgIsPlan(plan, svg);
        int polylines = 0;
        for (int i = 0; i < plan.ItemCount; ++i) {
            if (plan.Items[i].Op != PlanOp::Polyline) continue;
            ++polylines;
            // At most four points per pixel column survive the reduction.
            EXPECT_LE(plan.Items[i].Count, 4 * (plan.Plot.right - plan.Plot.left));
        }
        EXPECT_EQ(polylines, 5);
        if (c.Channel == 1) {
            EXPECT_LT(svg.size(), 400u * 1024) << "the page's picture stays small";
        }
        FinishDiagramPaint(w.scratch->State);
    }
    EXPECT_EQ(w.state.XZoom, 10) << "the window's view is untouched";
    EXPECT_EQ(w.state.ChannelTable[0].LinkIndex, 1);
    EXPECT_EQ(w.state.ChannelTable[0].ScrollOffset, 0);
    EXPECT_EQ(w.state.CurvePoints[0].Committed, 0u) << "the window's point buffers are not used";
}

// The links under the diagram lead where the toolbar would go.
TEST(DiagramSvg, LinksUnderThePictureDoWhatTheToolbarDoes) {
    Web w;
    FillRandomHistory(w.state, 0, 300, 5, 7);
    w.state.ChannelTable[0].RestoreLineCount = 7;
    std::strcpy(w.state.ChannelTable[0].CallPath, "QX0TST");
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
        {kNoLimit, kNoLimit, {1, 4, 4, 1, 2}, "10-11/2+ 6-9/3 3-5/2 "},
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
    LinkAvailability other;
    ChannelAvailability(w.state, 0, 2, kNoLimit, kNoLimit, other, nullptr);
    EXPECT_EQ(AvailabilityPercent(other), 100.0);
    EXPECT_EQ(other.OutageCount, 0);

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
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(PrintAvailabilityFile(dir.File("QX0TST.hpw").c_str(), 1, out, err), 1) << "a damaged end";
    auto text = [](std::FILE* f) {
        std::rewind(f);
        std::string s(4096, '\0');
        s.resize(std::fread(s.data(), 1, s.size(), f));
        std::fclose(f);
        return s;
    };
    const std::string printed = text(out);
    EXPECT_NE(
        printed.find("QX0AAA          p1                   12   41.7%   33.3%    8.3%   33.3%    8.3%   16.7%"
                     "       3      3 min\n"),
        std::string::npos)
        << printed;
    EXPECT_NE(printed.find("2026-12-06 00:10  2026-12-06 00:11          1       2  ongoing\n"
                           "2026-12-06 00:06  2026-12-06 00:09          3       3\n"),
              std::string::npos)
        << printed;
    EXPECT_NE(text(err).find("the 12 complete records before it were counted"), std::string::npos);
}

// A digipeater whose link names hold markup and quotes, called over the
// scripted network: every page shows the names as text.
TEST(WebEscaping, NamesFromTheRadioNeverBecomeMarkup) {
    Web w;
    ScratchDir dir;
    std::snprintf(w.state.DataDir, sizeof w.state.DataDir, "%s", dir.Path.c_str());
    std::strcpy(w.state.Mycall, "QX0OWN");
    ChannelRecord& c = w.state.ChannelTable[0];
    std::strcpy(c.CallPath, "QX0TST");
    c.RufAktiv = 1;
    c.MinutenIntervall = 1;
    ScriptNetwork net;
    FakePort port;
    port.Net = &net;
    port.SetTime(2026, 12, 6, 14, 30);
    const char* heading = " Nr  Port  Mode         TKBY RKBY QTY   Loss      Link   SSID Time\r";
    // Name at text column 54, ident at 61, time at 66; each ends at a blank.
    char row[100];
    std::snprintf(row, sizeof row, "  1      %-18d%-5d%-5d%-17s%-7s%-5s3/5\r", 1, 100, 200, "10", "<b>&\"y",
                  "<i>\"");
    MinuteTick(w.state, port, 0);
    for (int t = 1; t <= 60; ++t) {
        if (t == 3)
            for (auto& link : net.Links) link.second.State = kL2Connected;
        if (t == 5)
            for (const char* text : {"QX0TST\r", "=>\r", heading, static_cast<const char*>(row), "=>\r"})
                net.QueueText(c.L2Channel, text);
        CycleTick(w.state, port);
    }
    ASSERT_EQ(c.RecordCount, 1) << port.Boxes.size();
    ASSERT_STREQ(SeriesLinkName(w.state, 0, 0), "<b>&\"y");
    ASSERT_STREQ(c.LinkTable[kColIdent][1], "<i>\"");

    const std::string overview = w.Get("/"), diagram = w.Get("/channel/1"), json = w.Get("/api/channels");
    const std::string outages = w.Get("/channel/1/outages?link=1");
    for (const std::string* page : {&overview, &diagram, &outages}) {
        EXPECT_EQ(page->find("<b>"), std::string::npos);
        EXPECT_EQ(page->find("<i>"), std::string::npos);
    }
    EXPECT_NE(overview.find(">&lt;b&gt;&amp;&quot;y</a>"), std::string::npos);
    EXPECT_NE(overview.find(">&lt;i&gt;&quot;</td>"), std::string::npos);
    EXPECT_NE(diagram.find("<title>Channel 1: Digipeater QX0TST, Link to &lt;b&gt;&amp;&quot;y</title>"),
              std::string::npos);
    EXPECT_NE(diagram.find(">Channel 1: Digipeater QX0TST, Link to &lt;b&gt;&amp;&quot;y</text>"),
              std::string::npos)
        << "the SVG title";
    EXPECT_NE(json.find("\"name\":\"<b>&\\\"y\",\"ident\":\"<i>\\\"\""), std::string::npos) << json;

    // Bytes that are not UTF-8 and control characters.
    const char names[1][kCellSize] = {"M\xFCn\x01\\"}, idents[1][kCellSize] = {"<i>\""};
    SetSeriesLinks(w.state, 0, 1, names, idents);
    EXPECT_NE(w.Get("/").find(">M\\xFCn\\x01\\</a>"), std::string::npos);
    EXPECT_NE(w.Get("/api/channels").find("\"name\":\"M\\\\xFCn\\\\x01\\\\\""), std::string::npos);
}

}  // namespace
