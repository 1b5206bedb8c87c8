#include "view/metrics_text.h"

#include <charconv>
#include <cstring>
#include <ctime>

#include "core/program_names.h"
#include "core/two_digit_year.h"
#include "history/history_format.h"
#include "history/history_series.h"
#include "view/web_escape.h"

namespace {

struct Family {
    const char* Name;
    const char* Type;
    const char* Help;
};

enum LinkFamily : int { kQty, kTxTim, kRxTim, kTkby, kRkby, kState, kAge, kLinkFamilies };

const Family kLinkFamilies_[kLinkFamilies] = {
    {"hopwatch_link_qty", "gauge", "Link quality (QTY) of the newest record."},
    {"hopwatch_link_txtim", "gauge", "Transmit router time (TxTIM) of the newest record."},
    {"hopwatch_link_rxtim", "gauge", "Receive router time (RxTIM) of the newest record."},
    {"hopwatch_link_tkby", "gauge", "Kilobytes transmitted (TKBY) of the newest record."},
    {"hopwatch_link_rkby", "gauge", "Kilobytes received (RKBY) of the newest record."},
    {"hopwatch_link_state", "gauge",
     "Link-state code of the newest record (0 no figure, 2 or 4 in brackets, 5 dash, 6 failed call, "
     "else a figure)."},
    {"hopwatch_link_record_age_seconds", "gauge", "Age of the newest record."},
};

enum ChannelFamily : int { kMade, kFailed, kCycle, kRecords, kLastDone, kChannelFamilies };

const Family kChannelFamilies_[kChannelFamilies] = {
    {"hopwatch_calls_made_total", "counter", "Calls started since the program started."},
    {"hopwatch_calls_failed_total", "counter", "Calls that ended without a reply since the program started."},
    {"hopwatch_cycle_state", "gauge", "Current state of the channel's connect cycle (0 idle)."},
    {"hopwatch_records_in_memory", "gauge", "History records of the channel held in memory."},
    {"hopwatch_last_call_completed_timestamp_seconds", "gauge",
     "Time of the last call that stored a reply (0 none since start)."},
};

void AppendHeader(std::string& out, const Family& f) {
    out += "# HELP ";
    out += f.Name;
    out += ' ';
    out += f.Help;
    out += "\n# TYPE ";
    out += f.Name;
    out += ' ';
    out += f.Type;
    out += '\n';
}

void AppendNumber(std::string& out, long long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, static_cast<std::size_t>(end - digits));
}

void AppendSample(std::string& out, const char* name, const std::string& labels, long long value) {
    out += name;
    out += labels;
    out += ' ';
    AppendNumber(out, value);
    out += '\n';
}

void AppendLabel(std::string& out, const char* name, const char* value, std::size_t size, int first) {
    if (!first) out += ',';
    out += name;
    out += "=\"";
    AppendLabelValue(out, value, size);
    out += '"';
}

std::size_t CellLength(const char* cell, std::size_t max) {
    const void* nul = std::memchr(cell, '\0', max);
    return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - cell) : max;
}

// The record's minute as seconds since 1970, read as local time.
long long RecordTime(const RecordStamp& r) {
    std::tm t{};
    t.tm_year = FullYear(r.Year % 100) - 1900;
    t.tm_mon = r.Month - 1;
    t.tm_mday = r.Day;
    t.tm_hour = r.Hour;
    t.tm_min = r.Minute;
    t.tm_isdst = -1;
    return static_cast<long long>(std::mktime(&t));
}

// The first call of the connect path: the digipeater the channel watches.
std::size_t DigipeaterLength(const char* callPath) {
    std::size_t n = 0;
    while (n < kCallPathSize && callPath[n] != '\0' && callPath[n] != ' ') ++n;
    return n;
}

struct LinkRow {
    LinkSample Sample;
    std::string Labels;
};

}  // namespace

void AppendLabelValue(std::string& out, const char* bytes, std::size_t size) {
    static const char kHex[] = "0123456789ABCDEF";
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < size;) {
        const unsigned char c = p[i];
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '"') {
            out += "\\\"";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const std::size_t n = Utf8SequenceLength(p + i, size - i)) {
            out.append(bytes + i, n);
            i += n;
            continue;
        } else {
            // Written as an escaped backslash, so that the value reads \xNN.
            const char text[5] = {'\\', '\\', 'x', kHex[c >> 4], kHex[c & 0x0F]};
            out.append(text, sizeof text);
        }
        ++i;
    }
}

namespace {

// The series of one scrape: the labels of each configured channel ("" for a
// channel without a connect path) and one row per link of its newest record.
struct MetricsRows {
    std::string ChannelLabels[kChannelCount];
    long long RecordTimes[kChannelCount] = {};
    LinkRow Rows[kChannelCount * kMaxStoredLinks];
    int RowChannel[kChannelCount * kMaxStoredLinks];
    int RowCount = 0;
};

void CollectRows(AppState& state, MetricsRows& m) {
    for (int ch = 0; ch < kChannelCount; ++ch) {
        const ChannelRecord& c = state.ChannelTable[ch];
        if (c.CallPath[0] == '\0') continue;
        std::string& labels = m.ChannelLabels[ch];
        const char number[2] = {static_cast<char>('1' + ch), '\0'};
        labels += '{';
        AppendLabel(labels, "channel", number, 1, 1);
        AppendLabel(labels, "digipeater", c.CallPath, DigipeaterLength(c.CallPath), 0);

        const int newest = c.RecordCount - 1;
        RecordStamp stamp;
        if (!IsRecordPresent(state, ch, newest) || !ReadRecordStamp(state, ch, newest, stamp)) {
            labels += '}';
            continue;
        }
        m.RecordTimes[ch] = RecordTime(stamp);
        // The links of the last completed reply (a call under way is still
        // filling the table's rows), named as the newest record named them.
        int links = c.RestoreLineCount - 2;
        if (links > kMaxStoredLinks) links = kMaxStoredLinks;
        for (int r = 1; r <= links; ++r) {
            LinkRow& row = m.Rows[m.RowCount];
            m.RowChannel[m.RowCount++] = ch;
            row.Sample = ReadLinkSample(state, ch, newest, r - 1);
            row.Labels = labels;
            const char* name = SeriesLinkName(state, ch, r - 1);
            AppendLabel(row.Labels, "link", name, CellLength(name, kCellSize), 0);
            const char* ident = SeriesLinkIdent(state, ch, r - 1);
            AppendLabel(row.Labels, "ident", ident, CellLength(ident, kCellSize), 0);
            row.Labels += '}';
        }
        labels += '}';
    }
}

void AppendLinkFamilies(const MetricsRows& m, long long now, std::string& out) {
    for (int f = 0; f < kLinkFamilies; ++f) {
        AppendHeader(out, kLinkFamilies_[f]);
        for (int i = 0; i < m.RowCount; ++i) {
            const LinkSample& s = m.Rows[i].Sample;
            const long long values[kLinkFamilies] = {
                s.Qty, s.TxTim, s.RxTim, s.Tkby, s.Rkby, s.LinkState, now - m.RecordTimes[m.RowChannel[i]]};
            AppendSample(out, kLinkFamilies_[f].Name, m.Rows[i].Labels, values[f]);
        }
    }
}

void AppendChannelFamilies(const AppState& state, const MetricsRows& m, std::string& out) {
    for (int f = 0; f < kChannelFamilies; ++f) {
        AppendHeader(out, kChannelFamilies_[f]);
        for (int ch = 0; ch < kChannelCount; ++ch) {
            if (m.ChannelLabels[ch].empty()) continue;
            const ChannelRecord& c = state.ChannelTable[ch];
            const long long values[kChannelFamilies] = {state.CallsMade[ch], state.CallsFailed[ch],
                                                        static_cast<int>(c.CycleState), c.RecordCount,
                                                        state.LastCallDone[ch]};
            AppendSample(out, kChannelFamilies_[f].Name, m.ChannelLabels[ch], values[f]);
        }
    }
}

// One sample each, without labels but for the version.
void AppendProgramFamilies(const AppState& state, const MetricsInputs& inputs, std::string& out) {
    std::string version = "{version=\"";
    version += kProgramVersion;
    version += "\"}";
    const struct {
        Family F;
        long long Value;
        const std::string* Labels;
    } program[] = {
        {{"hopwatch_answer_callers_served_total", "counter", "Stations greeted by the answering service."},
         state.CallersServed,
         nullptr},
        {{"hopwatch_layer2_connected", "gauge", "1 while the layer-2 backend is connected."},
         inputs.Layer2.Connected,
         nullptr},
        {{"hopwatch_layer2_reconnects_total", "counter", "Connections to the TNC made again after a loss."},
         inputs.Layer2.Reconnects,
         nullptr},
        {{"hopwatch_build_info", "gauge", "The program's version."}, 1, &version},
        {{"hopwatch_start_time_seconds", "gauge", "Time the program started, seconds since 1970."},
         inputs.StartTime,
         nullptr},
    };
    for (const auto& p : program) {
        AppendHeader(out, p.F);
        AppendSample(out, p.F.Name, p.Labels ? *p.Labels : std::string(), p.Value);
    }
}

}  // namespace

void BuildMetricsText(AppState& state, const MetricsInputs& inputs, std::string& out) {
    out.clear();
    MetricsRows rows;
    CollectRows(state, rows);
    out.reserve(static_cast<std::size_t>(rows.RowCount) * 7 * 120 + 4096);
    AppendLinkFamilies(rows, inputs.Now, out);
    AppendChannelFamilies(state, rows, out);
    AppendProgramFamilies(state, inputs, out);
}
