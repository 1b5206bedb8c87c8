// The program's state as a Prometheus scrape target: the whole exposition
// text (format 0.0.4) built from what is in memory, the newest record of
// every channel as the diagram draws it, the run's counters and the
// backend's health. Nothing here reads a file; the shell only serves the
// text.
//
// Families, each with its HELP and TYPE lines, in this order:
//   hopwatch_link_qty, _txtim, _rxtim, _tkby, _rkby, _state   gauges, per link
//   hopwatch_link_record_age_seconds                           gauge, per link
//     (labels channel, digipeater, link, ident)
//   hopwatch_calls_made_total, hopwatch_calls_failed_total     counters, per channel
//   hopwatch_cycle_state, hopwatch_records_in_memory,
//   hopwatch_last_call_completed_timestamp_seconds             gauges, per channel
//     (labels channel, digipeater)
//   hopwatch_answer_callers_served_total                       counter
//   hopwatch_layer2_connected, hopwatch_layer2_reconnects_total
//   hopwatch_build_info{version}, hopwatch_start_time_seconds
// Only channels with a connect path appear; a channel without records has
// no link samples. Scrapes are cheap enough to answer at any rate: the text
// for four channels of 17 links is built in well under a millisecond.
//
// Label values are escaped as the format asks (backslash, quote, newline).
// A link name holds whatever bytes the report held; bytes that do not form
// UTF-8 become the four characters \xNN (hex, upper case), so no name is
// ever dropped and the result is valid UTF-8.
//
// Threading: GUI thread only (reads the state the connect cycle writes).
#pragma once

#include <cstddef>
#include <string>

#include "core/app_state.h"
#include "radio/layer2.h"

constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";
constexpr const char* kMetricsPath = "/metrics";

struct MetricsInputs {
    long long Now;        // seconds since 1970
    long long StartTime;  // seconds since 1970 when the run began
    Layer2Health Layer2;
};

// Replaces `out` with the exposition text.
void BuildMetricsText(AppState& state, const MetricsInputs& inputs, std::string& out);

// Appends `size` bytes as the inside of a quoted label value.
void AppendLabelValue(std::string& out, const char* bytes, std::size_t size);
