// The collector's web pages, built from what is in memory: the overview of
// every channel and link (newest values, the last call's state, availability
// over 24 hours, 7 days and everything held, a QTY sparkline), each
// channel's diagram as SVG from the window's own paint plan with plain links
// that do what the toolbar does, the outages of one link, the channel's
// history file as CSV, the same numbers as JSON for scripts, and the
// Prometheus text at /metrics. Fixed routes, read-only: nothing here changes
// the window's state. A page keeps its own view, taken from its query
// (link, xzoom, yzoom, scroll, marker, grid) and drawn from a private copy
// of the state with its own point buffers.
//
// Routes:
//   /                          overview (HTML)
//   /channel/N                 diagram page (HTML with inline SVG), N = 1..4
//   /channel/N/outages?link=L  availability and outages of one link (HTML)
//   /channel/N/history.csv     the history file as --export-csv writes it
//   /api/channels              overview as JSON
//   /api/availability?channel=N&link=L&from=&to=   one link as JSON
//   /metrics                   the exposition text (view/metrics_text.h)
// from and to are seconds since 1970 or local times "2026-12-06T14:30"; the
// range is [from, to), open where one is missing.
//
// Every text from the radio goes through view/web_escape.h.
//
// Threading: GUI thread only (reads the state the connect cycle writes).
#pragma once

#include <cstddef>
#include <string>

#include "core/app_state.h"
#include "view/metrics_text.h"
#include "view/paint_plan.h"

constexpr int kWebDiagramWidth = 960;
constexpr int kWebDiagramHeight = 560;
constexpr int kWebBaseUnitX = 8;
constexpr int kWebBaseUnitY = 16;
constexpr int kWebDefaultXZoom = 10;
constexpr int kWebDefaultYLevel = 9;  // Y zoom step 3 at scale 1
constexpr int kWebYLevels = 12;       // steps 1..6 at scale 10, then 1..6 at scale 1
constexpr std::size_t kWebTargetMax = 2048;
constexpr int kSparkPoints = 96;
// An answer's buffer above this size is given back once it has been sent
// (a history's CSV), so a download leaves no memory behind.
constexpr std::size_t kWebBodyKept = 1 << 20;

// The view a diagram page shows.
struct WebView {
    int Channel;  // 0..3
    int Link;     // 1..
    int XZoom;    // 1..20
    int YLevel;   // 1..12
    int Scroll;   // ScrollOffset; -1 = the newest records at the right edge
    int Marker;   // MarkerOffset (0 = newest record)
    int Grid;
};

// What the pages keep between requests: their own copy of the state (with
// point buffers of its own) and the plan, so a request allocates nothing
// big and never touches the window's buffers.
struct WebScratch {
    AppState State;
    PaintPlan Plan;
};
// 0 when the point buffers cannot be reserved.
int ReserveWebScratch(WebScratch& scratch);
void ReleaseWebScratch(WebScratch& scratch);

struct WebInputs {
    long long Now;  // seconds since 1970
    MetricsInputs Metrics;
};

struct WebAnswer {
    int Status;               // 200, 404 or 414
    const char* ContentType;  // a constant
    std::string Body;         // reused between requests
};

// Answers GET of `target` (path and query as the request line has them).
// The listener sends the answer and then calls TrimWebAnswer.
void AnswerWebRequest(AppState& live, WebScratch& scratch, const WebInputs& inputs, const char* target,
                      std::size_t size, WebAnswer& answer);

void TrimWebAnswer(WebAnswer& answer);

// The page's view of `query` for channel `channel`: defaults where a
// parameter is missing or not a number, clamped into range.
WebView ParseWebView(int channel, const char* query, std::size_t size);
// Builds the diagram of `view` into scratch.Plan (point buffers committed
// until FinishDiagramPaint(scratch.State)); the page's copy of `live` holds
// the view afterwards.
void BuildWebPlan(AppState& live, WebScratch& scratch, const WebView& view);
// The diagram page's HTML.
void BuildDiagramPage(AppState& live, WebScratch& scratch, const WebView& view, std::string& out);
