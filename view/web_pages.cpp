#include "view/web_pages.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/link_column.h"
#include "core/platform_port.h"
#include "core/program_names.h"
#include "history/history_csv.h"
#include "history/history_format.h"
#include "history/history_reader.h"
#include "history/history_series.h"
#include "radio/null_layer2.h"
#include "view/curve_memory.h"
#include "view/diagram_geometry.h"
#include "view/diagram_navigation.h"
#include "view/diagram_svg.h"
#include "view/link_availability.h"
#include "view/navigation_commands.h"
#include "view/toolbar_rules.h"
#include "view/web_escape.h"

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kJson = "application/json";
constexpr const char* kCsv = "text/csv";
constexpr const char* kPlain = "text/plain; charset=utf-8";

// The toolbar commands run on the page's copy of the state: nothing is
// shown, asked, logged or repainted, and the hold-marker button is never checked.
struct QuietPort final : PlatformPort {
    BoxAnswer ask(const char*, const char*, BoxIcon, BoxButtons) override { return BoxAnswer::Cancel; }
    void tell(const char*, const char*, BoxIcon) override {}
    void log(const char*) override {}
    void repaint(bool) override {}
    void setStatusText(int, const char*) override {}
    int isButtonChecked(int) override { return 0; }
    int isButtonEnabled(int) override { return 1; }
    void enableButton(int, int) override {}
    std::tm localTime() override { return std::tm{}; }
    Layer2& l2() override { return none; }
    NullLayer2 none;
};

// ---- small writers ----

void AppendInt(std::string& out, long long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, static_cast<std::size_t>(end - digits));
}

void AppendPercent(std::string& out, double percent) {
    char text[16];
    if (percent < 0) {
        out += "-";
        return;
    }
    std::snprintf(text, sizeof text, "%.1f", percent);
    out += text;
}

void AppendColour(std::string& out, PlanColour c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.R, c.G, c.B);
    out += text;
}

void AppendWallMinute(std::string& out, long long minute) {
    char text[kWallTimeTextSize];
    FormatWallMinute(minute, text, sizeof text);
    out += text;
}

void AppendCell(std::string& out, const char* cell, std::size_t max) {
    AppendHtml(out, cell, CellTextLength(cell, max));
}

void AppendJsonCell(std::string& out, const char* cell, std::size_t max) {
    out += '"';
    AppendJsonString(out, cell, CellTextLength(cell, max));
    out += '"';
}

void PageStart(std::string& out, const char* title) {
    out +=
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width\"><title>";
    AppendHtml(out, title);
    out +=
        "</title><style>"
        "body{font-family:'DejaVu Sans',sans-serif;font-size:14px;margin:12px;color:#111;background:#fff}"
        "h1{font-size:20px;margin:0 0 8px}h2{font-size:16px;margin:18px 0 6px}"
        "table{border-collapse:collapse}th,td{padding:2px 8px;text-align:right;white-space:nowrap}"
        "th{background:#e8e8e8}tr:nth-child(even) td{background:#f6f6f6}td.n,th.n{text-align:left}"
        ".sw{display:inline-block;width:10px;height:10px;border:1px solid #555;margin-right:4px}"
        "nav a,nav span{margin-right:10px}nav span{color:#999}.r{font-family:'DejaVu Sans Mono',monospace}"
        "svg{display:block}"
        "</style></head><body>\n";
}

void PageEnd(std::string& out) {
    out += "</body></html>\n";
}

// ---- the channel's data ----

// The first call of the connect path: the digipeater the channel watches.
std::size_t DigipeaterLength(const char* callPath) {
    std::size_t n = 0;
    while (n < static_cast<std::size_t>(kCallPathSize) && callPath[n] != '\0' && callPath[n] != ' ') ++n;
    return n;
}

// Links of the last completed reply.
int ChannelLinks(const ChannelRecord& c) {
    int links = c.RestoreLineCount - 2;
    if (links < 0) links = 0;
    return links > kMaxStoredLinks ? kMaxStoredLinks : links;
}

// The slot of the channel's newest record, or -1 when it has none.
int Newest(const AppState& state, int channel) {
    const int newest = state.ChannelTable[channel].RecordCount - 1;
    return IsRecordPresent(state, channel, newest) ? newest : -1;
}

long long RecordMinute(const AppState& state, int channel, int slot) {
    RecordStamp t{};
    ReadRecordStamp(state, channel, slot, t);
    return WallMinute(t.Day, t.Month, t.Year, t.Hour, t.Minute);
}

// ---- query ----

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The decoded value of parameter `name` (at most size - 1 bytes); 0 when
// the query has none.
int QueryValue(const char* query, std::size_t size, const char* name, char* value, std::size_t room) {
    const std::size_t nameLength = std::strlen(name);
    std::size_t i = 0;
    while (i < size) {
        std::size_t end = i;
        while (end < size && query[end] != '&') ++end;
        if (end - i > nameLength && std::memcmp(query + i, name, nameLength) == 0 &&
            query[i + nameLength] == '=') {
            std::size_t n = 0;
            for (std::size_t k = i + nameLength + 1; k < end && n + 1 < room; ++k) {
                char c = query[k];
                if (c == '%' && k + 2 < end && HexValue(query[k + 1]) >= 0 && HexValue(query[k + 2]) >= 0) {
                    c = static_cast<char>(HexValue(query[k + 1]) * 16 + HexValue(query[k + 2]));
                    k += 2;
                } else if (c == '+') {
                    c = ' ';
                }
                value[n++] = c;
            }
            value[n] = '\0';
            return 1;
        }
        i = end + 1;
    }
    return 0;
}

// A whole number parameter; `fallback` when missing or not a number.
long long QueryNumber(const char* query, std::size_t size, const char* name, long long fallback) {
    char text[32];
    if (!QueryValue(query, size, name, text, sizeof text) || text[0] == '\0') return fallback;
    long long value = 0;
    const auto [end, error] = std::from_chars(text, text + std::strlen(text), value);
    return error == std::errc() && *end == '\0' ? value : fallback;
}

long long Clamp(long long value, long long low, long long high) {
    return value < low ? low : (value > high ? high : value);
}

// A range end: seconds since 1970 or a local time "YYYY-MM-DDTHH:MM" (or
// with a blank); kNoLimit when missing or unreadable.
long long QueryWallMinute(const char* query, std::size_t size, const char* name) {
    char text[40];
    if (!QueryValue(query, size, name, text, sizeof text) || text[0] == '\0') return kNoLimit;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    char sep = 0;
    if (std::sscanf(text, "%d-%d-%d%c%d:%d", &y, &mo, &d, &sep, &h, &mi) == 6 && (sep == 'T' || sep == ' '))
        return WallMinute(d, mo, y, h, mi);
    long long seconds = 0;
    const auto [end, error] = std::from_chars(text, text + std::strlen(text), seconds);
    if (error != std::errc() || *end != '\0') return kNoLimit;
    return WallMinuteOf(static_cast<std::time_t>(seconds));
}

// ---- the diagram's view ----

void ApplyYLevel(ChannelRecord& c, int level) {
    c.YScale = level <= 6 ? 10 : 1;
    c.YZoomStep = level <= 6 ? level : level - 6;
}

int YLevelOf(const ChannelRecord& c) {
    return (c.YScale >= 10 ? 0 : 6) + c.YZoomStep;
}

// ScrollOffset that puts the newest record at the right edge.
int NewestScroll(const ChannelRecord& c, int xZoom) {
    const PlotRect plot = PlotRectFor(kWebDiagramWidth, kWebDiagramHeight);
    const DiagramMapping m =
        SetupDiagramMapping(kWebDiagramWidth, kWebDiagramHeight, kWebBaseUnitX, kWebBaseUnitY);
    const long long right = LogicalRightEdge(m, plot);
    const long long scroll = c.RecordCount - 1 - right / (xZoom < 1 ? 1 : xZoom);
    return scroll < 0 ? 0 : static_cast<int>(scroll);
}

// The page's copy of the state with `view` applied; the copy keeps its own
// point buffers.
void ApplyView(const AppState& live, AppState& copy, const WebView& view) {
    ReservedArea own[kPointBufferCount];
    std::memcpy(own, copy.CurvePoints, sizeof own);
    std::memcpy(static_cast<void*>(&copy), &live, sizeof copy);
    std::memcpy(copy.CurvePoints, own, sizeof own);
    copy.CurrentChannel = view.Channel;
    copy.XZoom = view.XZoom;
    ChannelRecord& c = copy.ChannelTable[view.Channel];
    c.LinkIndex = view.Link;
    ApplyYLevel(c, view.YLevel);
    c.ScrollOffset = view.Scroll >= 0 ? view.Scroll : NewestScroll(c, view.XZoom);
    c.MarkerOffset = view.Marker;
    ClampLinkIndex(copy);
}

// The view a state shows (after a toolbar command ran on it).
WebView ViewOf(const AppState& state, int grid) {
    const ChannelRecord& c = state.ChannelTable[state.CurrentChannel];
    WebView v{state.CurrentChannel, c.LinkIndex,    state.XZoom, YLevelOf(c),
              c.ScrollOffset,       c.MarkerOffset, grid};
    if (v.Scroll == NewestScroll(c, v.XZoom)) v.Scroll = -1;
    return v;
}

// The page's address for a view as an attribute value; parameters at their
// defaults left out.
void AppendViewHref(std::string& out, const WebView& v) {
    out += "/channel/";
    AppendInt(out, v.Channel + 1);
    const char* sep = "?";
    auto param = [&](const char* name, long long value, long long fallback) {
        if (value == fallback) return;
        out += sep;
        out += name;
        out += '=';
        AppendInt(out, value);
        sep = "&amp;";
    };
    param("link", v.Link, 1);
    param("xzoom", v.XZoom, kWebDefaultXZoom);
    param("yzoom", v.YLevel, kWebDefaultYLevel);
    param("scroll", v.Scroll, -1);
    param("marker", v.Marker, 0);
    param("grid", v.Grid, 0);
}

int SameView(const WebView& a, const WebView& b) {
    return a.Channel == b.Channel && a.Link == b.Link && a.XZoom == b.XZoom && a.YLevel == b.YLevel &&
           a.Scroll == b.Scroll && a.Marker == b.Marker && a.Grid == b.Grid;
}

struct NavLink {
    int Command;  // a toolbar command, or 0 for the special ones below
    const char* Id;
    const char* Label;
};

constexpr int kNewest = -1;
constexpr int kGridToggle = -2;

const NavLink kNavLinks[] = {
    {kCmdPreviousDigipeater, "previous-channel", "previous channel"},
    {kCmdNextDigipeater, "next-channel", "next channel"},
    {kCmdPreviousLink, "previous-link", "previous link"},
    {kCmdNextLink, "next-link", "next link"},
    {kCmdExpandXAxis, "x-zoom-in", "X zoom in"},
    {kCmdShrinkXAxis, "x-zoom-out", "X zoom out"},
    {kCmdExpandYAxis, "y-zoom-in", "Y zoom in"},
    {kCmdShrinkYAxis, "y-zoom-out", "Y zoom out"},
    {kCmdShiftDiagramRight, "shift-right", "shift right (older)"},
    {kCmdShiftDiagramLeft, "shift-left", "shift left (newer)"},
    {kCmdShiftMarkerLeft, "marker-left", "marker left"},
    {kCmdShiftMarkerRight, "marker-right", "marker right"},
    {kNewest, "newest", "newest"},
    {kGridToggle, "grid", "grid on/off"},
};

// Where a link leads: the toolbar command run on a copy of the page's
// state. A channel switch starts the other channel at its default view.
WebView NavTarget(const AppState& shown, const WebView& current, int command) {
    static AppState trial;  // big; the GUI thread is the only caller
    WebView target = current;
    if (command == kNewest) {
        target.Scroll = -1;
        target.Marker = 0;
        return target;
    }
    if (command == kGridToggle) {
        target.Grid = !current.Grid;
        return target;
    }
    std::memcpy(static_cast<void*>(&trial), &shown, sizeof trial);
    QuietPort port;
    RunNavigationCommand(trial, port, command);
    if (trial.CurrentChannel != current.Channel) {
        return WebView{trial.CurrentChannel, 1, current.XZoom, current.YLevel, -1, 0, current.Grid};
    }
    WebView v = ViewOf(trial, current.Grid);
    // A page that shows the newest records keeps showing them when zoomed.
    if (current.Scroll < 0 && (command == kCmdExpandXAxis || command == kCmdShrinkXAxis)) v.Scroll = -1;
    return v;
}

void AppendNav(std::string& out, const AppState& shown, const WebView& view) {
    out += "<nav>";
    for (const NavLink& link : kNavLinks) {
        WebView target = NavTarget(shown, view, link.Command);
        if (link.Command == kCmdPreviousDigipeater || link.Command == kCmdNextDigipeater) {
            if (target.Channel == view.Channel) target = view;
        }
        if (SameView(target, view)) {
            out += "<span>";
            out += link.Label;
            out += "</span>";
        } else {
            out += "<a id=\"";
            out += link.Id;
            out += "\" href=\"";
            AppendViewHref(out, target);
            out += "\">";
            out += link.Label;
            out += "</a>";
        }
    }
    out += "</nav>\n";
}

// ---- pages ----

void AppendLinkRow(std::string& out, AppState& state, int ch, int link, int newest,
                   const LinkAvailability (&a)[kSummaryRanges]) {
    const ChannelRecord& c = state.ChannelTable[ch];
    const LinkSample s = ReadLinkSample(state, ch, newest, link - 1);
    out += "<tr><td class=\"n\"><a href=\"/channel/";
    AppendInt(out, ch + 1);
    out += "?link=";
    AppendInt(out, link);
    out += "\">";
    AppendCell(out, SeriesLinkName(state, ch, link - 1), kCellSize);
    out += "</a></td><td class=\"n\">";
    AppendCell(out, SeriesLinkIdent(state, ch, link - 1), kCellSize);
    out += "</td><td>";
    AppendInt(out, s.Qty);
    out += "</td><td>";
    AppendInt(out, s.TxTim);
    out += '/';
    AppendInt(out, s.RxTim);
    out += "</td><td>";
    AppendInt(out, s.Tkby);
    out += '/';
    AppendInt(out, s.Rkby);
    const int cls = UsageClass(s.LinkState);
    out += "</td><td class=\"n\"><span class=\"sw\" style=\"background:";
    AppendColour(out, kUsageColours[cls]);
    out += "\"></span>";
    AppendWallMinute(out, RecordMinute(state, ch, newest));
    out += ' ';
    out += kCallClassNames[cls];
    out += "</td>";
    for (const LinkAvailability& one : a) {
        out += "<td>";
        AppendPercent(out, AvailabilityPercent(one));
        out += "</td>";
    }
    out += "<td><a href=\"/channel/";
    AppendInt(out, ch + 1);
    out += "/outages?link=";
    AppendInt(out, link);
    out += "\">";
    AppendInt(out, a[2].OutageCount);
    out += "</a></td><td>";
    // The sparkline: QTY of the newest calls, scaled to its own highest.
    const int count = c.RecordCount;
    const int first = count > kSparkPoints ? count - kSparkPoints : 0;
    LinkSample spark[kSparkPoints];
    const int points = ReadLinkSamples(state, ch, first, count - first, link - 1, spark);
    long long high = 1;
    for (int i = 0; i < points; ++i) {
        if (spark[i].Qty > high) high = spark[i].Qty;
    }
    out += "<svg width=\"";
    AppendInt(out, kSparkPoints);
    out += "\" height=\"20\"><polyline fill=\"none\" stroke=\"";
    AppendColour(out, kCurveColours[kSeriesQty]);
    out += "\" points=\"";
    for (int i = 0; i < points; ++i) {
        long long q = spark[i].Qty;
        if (q < 0) q = 0;
        if (i > 0) out += ' ';
        AppendInt(out, i);
        out += ',';
        AppendInt(out, 19 - q * 18 / high);
    }
    out += "\"/></svg></td></tr>\n";
}

void BuildOverview(AppState& state, const WebInputs& inputs, std::string& out) {
    const long long nowMinute = WallMinuteOf(static_cast<std::time_t>(inputs.Now));
    PageStart(out, "hopwatch");
    out += "<h1>hopwatch ";
    out += kProgramVersion;
    out += "</h1><p>";
    AppendWallMinute(out, nowMinute);
    out += " &middot; <a href=\"/api/channels\">JSON</a> &middot; <a href=\"/metrics\">metrics</a></p>\n";
    int shown = 0;
    for (int ch = 0; ch < kChannelCount; ++ch) {
        const ChannelRecord& c = state.ChannelTable[ch];
        if (c.CallPath[0] == '\0') continue;
        ++shown;
        out += "<h2><a href=\"/channel/";
        AppendInt(out, ch + 1);
        out += "\">Channel ";
        AppendInt(out, ch + 1);
        out += ": ";
        AppendHtml(out, c.CallPath, DigipeaterLength(c.CallPath));
        out += "</a></h2>\n";
        const int newest = Newest(state, ch);
        const int links = ChannelLinks(c);
        if (newest < 0 || links == 0) {
            out += "<p>No records yet.</p>\n";
            continue;
        }
        out += "<p>";
        AppendInt(out, c.RecordCount);
        out += " records &middot; <a href=\"/channel/";
        AppendInt(out, ch + 1);
        out += "/history.csv\">history.csv</a></p>\n";
        out +=
            "<table><tr><th class=\"n\">link</th><th class=\"n\">second name</th><th>QTY</th>"
            "<th>TxTIM/RxTIM</th><th>TKBY/RKBY</th><th class=\"n\">last call</th><th>24 h %</th>"
            "<th>7 days %</th><th>all %</th><th>outages</th><th>QTY</th></tr>\n";
        LinkAvailability summaries[kMaxStoredLinks][kSummaryRanges];
        ChannelSummaries(state, ch, links, nowMinute, summaries);
        for (int link = 1; link <= links; ++link)
            AppendLinkRow(out, state, ch, link, newest, summaries[link - 1]);
        out += "</table>\n";
    }
    if (shown == 0) out += "<p>No channel has a connect path.</p>\n";
    PageEnd(out);
}

void BuildOutagesPage(AppState& state, int ch, const char* query, std::size_t size, std::string& out) {
    const ChannelRecord& c = state.ChannelTable[ch];
    const int links = ChannelLinks(c);
    const int link = static_cast<int>(Clamp(QueryNumber(query, size, "link", 1), 1, links < 1 ? 1 : links));
    const long long from = QueryWallMinute(query, size, "from");
    const long long to = QueryWallMinute(query, size, "to");
    static OutageList list;  // big; the GUI thread is the only caller
    LinkAvailability a;
    ChannelAvailability(state, ch, link, from, to, a, &list);
    const int newest = Newest(state, ch);
    PageStart(out, "hopwatch outages");
    out += "<h1>Channel ";
    AppendInt(out, ch + 1);
    out += ": ";
    AppendHtml(out, c.CallPath, DigipeaterLength(c.CallPath));
    if (newest >= 0) {
        out += ", link to ";
        AppendCell(out, SeriesLinkName(state, ch, link - 1), kCellSize);
    }
    out += "</h1><p><a href=\"/\">overview</a> &middot; <a href=\"/channel/";
    AppendInt(out, ch + 1);
    out += "?link=";
    AppendInt(out, link);
    out += "\">diagram</a></p>\n<p>";
    out += a.Total > 0 ? "" : "No calls in this range.";
    if (a.Total > 0) {
        AppendInt(out, a.Total);
        out += " calls from ";
        AppendWallMinute(out, a.FirstCall);
        out += " to ";
        AppendWallMinute(out, a.LastCall);
        out += ", a figure in ";
        AppendPercent(out, AvailabilityPercent(a));
        out += " %.";
    }
    out += "</p>\n<table><tr>";
    for (const char* name : kCallClassNames) {
        out += "<th>";
        out += name;
        out += "</th>";
    }
    out += "</tr><tr>";
    for (int k = 0; k < kCallClassCount; ++k) {
        out += "<td><span class=\"sw\" style=\"background:";
        AppendColour(out, kUsageColours[k]);
        out += "\"></span>";
        AppendInt(out, a.Calls[k]);
        out += " (";
        AppendPercent(
            out, a.Total > 0 ? 100.0 * static_cast<double>(a.Calls[k]) / static_cast<double>(a.Total) : -1);
        out += " %)</td>";
    }
    out += "</tr></table>\n<h2>";
    AppendInt(out, a.OutageCount);
    out +=
        " outages, newest first</h2>\n<table><tr><th class=\"n\">start</th><th class=\"n\">end</th>"
        "<th>minutes</th><th>calls</th></tr>\n";
    for (int i = 0; i < list.Kept; ++i) {
        const Outage& o = list.Items[i];
        out += "<tr><td class=\"n\">";
        AppendWallMinute(out, o.Start);
        out += "</td><td class=\"n\">";
        if (o.Ongoing) out += "ongoing, last call ";
        AppendWallMinute(out, o.End);
        out += "</td><td>";
        AppendInt(out, o.End - o.Start);
        out += "</td><td>";
        AppendInt(out, o.Calls);
        out += "</td></tr>\n";
    }
    out += "</table>\n";
    if (a.OutageCount > list.Kept) {
        out += "<p>";
        AppendInt(out, a.OutageCount - list.Kept);
        out += " older outages not listed.</p>\n";
    }
    PageEnd(out);
}

void AppendJsonAvailability(std::string& out, const LinkAvailability& a) {
    out += "{\"calls\":";
    AppendInt(out, a.Total);
    out += ",\"classes\":{";
    for (int k = 0; k < kCallClassCount; ++k) {
        if (k) out += ',';
        out += '"';
        out += kCallClassKeys[k];
        out += "\":";
        AppendInt(out, a.Calls[k]);
    }
    out += "},\"availability\":";
    if (a.Total > 0) {
        AppendPercent(out, AvailabilityPercent(a));
    } else {
        out += "null";
    }
    out += ",\"outages\":";
    AppendInt(out, a.OutageCount);
    out += ",\"longest_outage_minutes\":";
    AppendInt(out, a.LongestOutage);
    out += '}';
}

void BuildChannelsJson(AppState& state, const WebInputs& inputs, std::string& out) {
    const long long nowMinute = WallMinuteOf(static_cast<std::time_t>(inputs.Now));
    out += "{\"version\":\"";
    out += kProgramVersion;
    out += "\",\"now\":\"";
    AppendWallMinute(out, nowMinute);
    out += "\",\"channels\":[";
    int firstChannel = 1;
    for (int ch = 0; ch < kChannelCount; ++ch) {
        const ChannelRecord& c = state.ChannelTable[ch];
        if (c.CallPath[0] == '\0') continue;
        if (!firstChannel) out += ',';
        firstChannel = 0;
        out += "{\"channel\":";
        AppendInt(out, ch + 1);
        out += ",\"digipeater\":\"";
        AppendJsonString(out, c.CallPath, DigipeaterLength(c.CallPath));
        out += "\",\"records\":";
        AppendInt(out, c.RecordCount);
        out += ",\"links\":[";
        const int newest = Newest(state, ch);
        const int links = newest >= 0 ? ChannelLinks(c) : 0;
        LinkAvailability summaries[kMaxStoredLinks][kSummaryRanges];
        ChannelSummaries(state, ch, links, nowMinute, summaries);
        for (int link = 1; link <= links; ++link) {
            const LinkSample s = ReadLinkSample(state, ch, newest, link - 1);
            const LinkAvailability(&a)[kSummaryRanges] = summaries[link - 1];
            if (link > 1) out += ',';
            out += "{\"link\":";
            AppendInt(out, link);
            out += ",\"name\":";
            AppendJsonCell(out, SeriesLinkName(state, ch, link - 1), kCellSize);
            out += ",\"ident\":";
            AppendJsonCell(out, SeriesLinkIdent(state, ch, link - 1), kCellSize);
            const long long values[] = {s.Qty, s.TxTim, s.RxTim, s.Tkby, s.Rkby, s.LinkState};
            const char* names[] = {"qty", "txtim", "rxtim", "tkby", "rkby", "state"};
            for (int k = 0; k < 6; ++k) {
                out += ",\"";
                out += names[k];
                out += "\":";
                AppendInt(out, values[k]);
            }
            out += ",\"class\":\"";
            out += kCallClassKeys[UsageClass(s.LinkState)];
            out += "\",\"last_call\":\"";
            AppendWallMinute(out, RecordMinute(state, ch, newest));
            out += "\",\"last_24h\":";
            AppendJsonAvailability(out, a[0]);
            out += ",\"last_7d\":";
            AppendJsonAvailability(out, a[1]);
            out += ",\"all\":";
            AppendJsonAvailability(out, a[2]);
            out += '}';
        }
        out += "]}";
    }
    out += "]}\n";
}

// 0 when the channel or link does not exist.
int BuildAvailabilityJson(AppState& state, const char* query, std::size_t size, std::string& out) {
    const long long ch = QueryNumber(query, size, "channel", 0) - 1;
    if (ch < 0 || ch >= kChannelCount) return 0;
    const ChannelRecord& c = state.ChannelTable[ch];
    const int newest = Newest(state, static_cast<int>(ch));
    const long long link = QueryNumber(query, size, "link", 1);
    if (newest < 0 || link < 1 || link > ChannelLinks(c)) return 0;
    const long long from = QueryWallMinute(query, size, "from");
    const long long to = QueryWallMinute(query, size, "to");
    static OutageList list;  // big; the GUI thread is the only caller
    LinkAvailability a;
    ChannelAvailability(state, static_cast<int>(ch), static_cast<int>(link), from, to, a, &list);
    out += "{\"channel\":";
    AppendInt(out, ch + 1);
    out += ",\"link\":";
    AppendInt(out, link);
    out += ",\"name\":";
    AppendJsonCell(out, SeriesLinkName(state, static_cast<int>(ch), static_cast<int>(link) - 1), kCellSize);
    out += ",\"ident\":";
    AppendJsonCell(out, SeriesLinkIdent(state, static_cast<int>(ch), static_cast<int>(link) - 1), kCellSize);
    out += ",\"from\":";
    if (from == kNoLimit) {
        out += "null";
    } else {
        out += '"';
        AppendWallMinute(out, from);
        out += '"';
    }
    out += ",\"to\":";
    if (to == kNoLimit) {
        out += "null";
    } else {
        out += '"';
        AppendWallMinute(out, to);
        out += '"';
    }
    out += ",\"range\":";
    AppendJsonAvailability(out, a);
    out += ",\"outage_list\":[";
    for (int i = 0; i < list.Kept; ++i) {
        const Outage& o = list.Items[i];
        if (i) out += ',';
        out += "{\"start\":\"";
        AppendWallMinute(out, o.Start);
        out += "\",\"end\":\"";
        AppendWallMinute(out, o.End);
        out += "\",\"minutes\":";
        AppendInt(out, o.End - o.Start);
        out += ",\"calls\":";
        AppendInt(out, o.Calls);
        out += ",\"ongoing\":";
        out += o.Ongoing ? "true" : "false";
        out += '}';
    }
    out += "]}\n";
    return 1;
}

// The channel's history file exactly as --export-csv writes it; 0 when
// the file cannot be read.
int BuildHistoryCsv(const AppState& state, int ch, std::string& out) {
    char path[kHistoryPathSize];
    if (!HistoryFileName(state, ch, path, sizeof path)) return 0;
    HistorySource source;
    if (OpenHistorySource(path, source) != HistoryOpen::Read) return 0;
    // The export writes through a stream; this one appends to `out`, so the
    // rows are not held twice.
    cookie_io_functions_t io{};
    io.write = [](void* cookie, const char* buffer, std::size_t size) -> ssize_t {
        static_cast<std::string*>(cookie)->append(buffer, size);
        return static_cast<ssize_t>(size);
    };
    std::FILE* stream = fopencookie(&out, "w", io);
    if (stream == nullptr) return 0;
    HistoryReader reader;
    StartHistoryReader(reader, source);
    long long rows = 0;
    ExportHistoryCsv(reader, kCsvAllLinks, stream, rows);
    return std::fclose(stream) == 0;
}

void NotFound(WebAnswer& answer) {
    answer.Status = 404;
    answer.ContentType = kPlain;
    answer.Body = "not found\n";
}

// "/channel/N" followed by `rest`: the channel index, else -1.
int ChannelOfPath(const char* path, std::size_t size, const char* rest) {
    const char* prefix = "/channel/";
    const std::size_t p = std::strlen(prefix);
    if (size != p + 1 + std::strlen(rest) || std::memcmp(path, prefix, p) != 0) return -1;
    if (path[p] < '1' || path[p] > '0' + kChannelCount) return -1;
    if (std::memcmp(path + p + 1, rest, std::strlen(rest)) != 0) return -1;
    return path[p] - '1';
}

}  // namespace

int ReserveWebScratch(WebScratch& scratch) {
    std::memset(static_cast<void*>(&scratch.State), 0, sizeof scratch.State);
    scratch.Plan.ItemCount = 0;
    return ReserveCurveMemory(scratch.State);
}

void ReleaseWebScratch(WebScratch& scratch) {
    ReleaseCurveMemory(scratch.State);
}

WebView ParseWebView(int channel, const char* query, std::size_t size) {
    WebView v{};
    v.Channel = channel;
    v.Link = static_cast<int>(Clamp(QueryNumber(query, size, "link", 1), 1, kMaxStoredLinks));
    v.XZoom = static_cast<int>(Clamp(QueryNumber(query, size, "xzoom", kWebDefaultXZoom), 1, kMaxXZoom));
    v.YLevel = static_cast<int>(Clamp(QueryNumber(query, size, "yzoom", kWebDefaultYLevel), 1, kWebYLevels));
    v.Scroll = static_cast<int>(Clamp(QueryNumber(query, size, "scroll", -1), -1, kHistoryCapacity));
    v.Marker = static_cast<int>(Clamp(QueryNumber(query, size, "marker", 0), 0, kHistoryCapacity - 1));
    v.Grid = QueryNumber(query, size, "grid", 0) != 0;
    return v;
}

void BuildWebPlan(AppState& live, WebScratch& scratch, const WebView& view) {
    ApplyView(live, scratch.State, view);
    const DiagramView diagram{kWebDiagramWidth, kWebDiagramHeight, kWebBaseUnitX,
                              kWebBaseUnitY,    view.Grid,         1};
    BuildPaintPlan(scratch.State, diagram, scratch.Plan);
}

void BuildDiagramPage(AppState& live, WebScratch& scratch, const WebView& requested, std::string& out) {
    BuildWebPlan(live, scratch, requested);
    // The view as drawn (the link clamped to the report's links).
    WebView view = requested;
    view.Link = scratch.State.ChannelTable[view.Channel].LinkIndex;
    char title[kPlanTextSize];
    BuildTitle(scratch.State, view.Channel, title, sizeof title);
    PageStart(out, title);
    out += "<h1>";
    AppendHtml(out, title);
    out += "</h1><p><a href=\"/\">overview</a> &middot; <a href=\"/channel/";
    AppendInt(out, view.Channel + 1);
    out += "/outages?link=";
    AppendInt(out, view.Link);
    out += "\">outages of this link</a> &middot; <a href=\"/channel/";
    AppendInt(out, view.Channel + 1);
    out += "/history.csv\">history.csv</a></p>\n";
    AppendPlanSvg(scratch.Plan, kWebDiagramWidth, kWebDiagramHeight, out);
    FinishDiagramPaint(scratch.State);
    out += "\n<p class=\"r\">";
    for (int r = 0; r < kReadoutCount; ++r) {
        if (r) out += " &middot; ";
        AppendHtml(out, scratch.Plan.Readouts[r]);
    }
    out += "</p>\n";
    AppendNav(out, scratch.State, view);
    PageEnd(out);
}

void TrimWebAnswer(WebAnswer& answer) {
    if (answer.Body.capacity() > kWebBodyKept) std::string().swap(answer.Body);
}

void AnswerWebRequest(AppState& live, WebScratch& scratch, const WebInputs& inputs, const char* target,
                      std::size_t size, WebAnswer& answer) {
    answer.Body.clear();
    answer.Status = 200;
    answer.ContentType = kHtml;
    if (size > kWebTargetMax) {
        answer.Status = 414;
        answer.ContentType = kPlain;
        answer.Body = "request target too long\n";
        return;
    }
    const char* question = static_cast<const char*>(std::memchr(target, '?', size));
    const std::size_t pathSize = question ? static_cast<std::size_t>(question - target) : size;
    const char* query = question ? question + 1 : target + size;
    const std::size_t querySize = question ? size - pathSize - 1 : 0;
    auto is = [&](const char* path) {
        return pathSize == std::strlen(path) && std::memcmp(target, path, pathSize) == 0;
    };
    int ch = -1;
    if (is("/")) {
        BuildOverview(live, inputs, answer.Body);
    } else if (is(kMetricsPath)) {
        answer.ContentType = kMetricsContentType;
        BuildMetricsText(live, inputs.Metrics, answer.Body);
    } else if (is("/api/channels")) {
        answer.ContentType = kJson;
        BuildChannelsJson(live, inputs, answer.Body);
    } else if (is("/api/availability")) {
        answer.ContentType = kJson;
        if (!BuildAvailabilityJson(live, query, querySize, answer.Body)) NotFound(answer);
    } else if ((ch = ChannelOfPath(target, pathSize, "")) >= 0) {
        BuildDiagramPage(live, scratch, ParseWebView(ch, query, querySize), answer.Body);
    } else if ((ch = ChannelOfPath(target, pathSize, "/outages")) >= 0) {
        BuildOutagesPage(live, ch, query, querySize, answer.Body);
    } else if ((ch = ChannelOfPath(target, pathSize, "/history.csv")) >= 0) {
        answer.ContentType = kCsv;
        if (!BuildHistoryCsv(live, ch, answer.Body)) NotFound(answer);
    } else {
        NotFound(answer);
    }
}
