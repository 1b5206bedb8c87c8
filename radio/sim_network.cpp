// The simulated network. A link report line carries its fields at the
// columns the parser cuts (0-based):
//
//   col  9  port          col 27  TKBY (4 wide)   col 32  RKBY (4 wide)
//   col 37  QTY (3 wide)  col 54  link name       col 61  SSID range
//   col 66  router times: a/b, (a/b), a, (a) or "-"
//
// Each line is one frame: 16-bit little-endian text count, one unused byte,
// the text ending in CR.
#include "radio/sim_network.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace {

// splitmix64: small, fast, and the same on every platform.
struct Rng {
    std::uint64_t s;
    std::uint64_t Next() {
        std::uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0..n-1 (n > 0)
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
    int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }
    int Percent(int p) { return Below(100) < p; }
};

std::uint64_t HashText(const std::string& s) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

enum class Outcome { Good, Refused, GivenUp, Silent, LinkLost, Overlong };

enum TimeForm { kSlash, kSlashParen, kSingle, kSingleParen, kDash, kTimeForms };

struct SimLink {
    char Name[8];
    char Ident[6];
    char Mode[6];
    int Port;
    int Tkby, Rkby;
    int Qty;
    int TimeA, TimeB;
    int Form;
};

struct Digipeater {
    std::string Call;
    char Place[24];
    Rng Values;
    int LinkCount;
    SimLink Links[kSimMaxLinks + 3];
};

struct PendingFrame {
    int ReleaseAt;  // connection time from which it can be read
    std::vector<unsigned char> Bytes;
};

struct Connection {
    int Incoming;
    int State;     // link state reported while up or down
    int Clock;     // connection time, see the header
    int SettleAt;  // outgoing: when the connect outcome shows
    int Settled;
    Outcome Result;
    int DownAt;    // -1, or when the link is down after a disconnect
    int LeaveAt;   // incoming: when the caller goes
    int Answered;  // the command was answered already
    std::string Dest;
    std::deque<PendingFrame> Frames;
    std::vector<unsigned char> Current;
};

int Clamp(int v, int lo, int hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

void PutField(char* line, int column, const char* text) {
    std::memcpy(line + column, text, std::strlen(text));
}

std::string DestinationOf(const char* callPath) {
    std::string d;
    for (const char* p = callPath; *p && *p != ' '; ++p) {
        char c = *p;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        d += c;
    }
    return d;
}

struct SimNetwork final : Layer2 {
    explicit SimNetwork(const SimOptions& o) : options(o), events{o.Seed * 0x2545F4914F6CDD1Dull + 7} {}

    int ax_init() override { return options.FailInit ? 0 : 1; }

    std::uint16_t l2_connect(const char* mycall, const char* callPath) override {
        (void)mycall;
        const std::uint16_t h = NewHandle();
        Connection& c = conns[h];
        c = Connection{};
        c.Incoming = 0;
        c.State = kL2SettingUp;
        c.DownAt = -1;
        c.Dest = DestinationOf(callPath);
        c.SettleAt = events.Between(1, 4);
        c.Result = PickOutcome(c.Dest);
        return h;
    }

    std::uint16_t l2_get_sabm(const char* mycall) override {
        (void)mycall;
        if (options.CallerSeconds <= 0 || events.Below(options.CallerSeconds) != 0) return 0;
        const std::uint16_t h = NewHandle();
        Connection& c = conns[h];
        c = Connection{};
        c.Incoming = 1;
        c.State = kL2Connected;
        c.Settled = 1;
        c.DownAt = -1;
        c.LeaveAt = events.Between(3, 8);
        return h;
    }

    int l2_stat(int zero, std::uint16_t handle) override {
        (void)zero;
        auto it = conns.find(handle);
        if (it == conns.end()) return 0;
        Connection& c = it->second;
        Advance(c);
        const int waiting = !c.Frames.empty() && c.Frames.front().ReleaseAt <= c.Clock;
        const int result = (c.State & kL2StateMask) | (waiting ? kL2DataWaiting : 0);
        if (!waiting) ++c.Clock;
        if (c.State < kL2SettingUp) conns.erase(it);  // reported down: the handle is free
        return result;
    }

    const unsigned char* l2_get_i(std::uint16_t handle) override {
        auto it = conns.find(handle);
        if (it == conns.end()) return nullptr;
        Connection& c = it->second;
        if (c.Frames.empty() || c.Frames.front().ReleaseAt > c.Clock) return nullptr;
        c.Current = std::move(c.Frames.front().Bytes);
        c.Frames.pop_front();
        return c.Current.data();
    }

    int l2_ialloc(std::uint16_t handle, int bytes) override {
        auto it = conns.find(handle);
        if (it == conns.end() || bytes <= 0) return 0;
        Connection& c = it->second;
        if (c.State < kL2Connected || c.DownAt >= 0) return 0;
        // The stack's send queue is full now and then, for a second.
        return events.Percent(c.Incoming ? 5 : 10) ? 0 : 1;
    }

    void l2_puts(std::uint16_t handle, const char* text) override {
        auto it = conns.find(handle);
        if (it == conns.end()) return;
        Connection& c = it->second;
        if (c.Incoming || c.State != kL2Connected || c.Answered) return;
        if (text[0] == 'p' || text[0] == 'P') {
            c.Answered = 1;
            QueueReport(c);
        }
    }

    void l2_bef(int command, std::uint16_t handle) override {
        auto it = conns.find(handle);
        if (it == conns.end()) return;
        Connection& c = it->second;
        if (command == kL2FrameDone) return;
        if (command != kL2Disconnect) return;
        if (c.Incoming) {
            conns.erase(it);  // nobody asks after an ended incoming link
            return;
        }
        if (c.DownAt < 0) c.DownAt = c.Clock + events.Between(0, 2);
        c.Frames.clear();
    }

    // --- inside the network ---------------------------------------------

    std::uint16_t NewHandle() {
        if (conns.size() >= kSimMaxConnections) Sweep();
        for (;;) {
            if (++lastHandle == 0) lastHandle = 1;
            if (conns.find(lastHandle) == conns.end()) return lastHandle;
        }
    }

    // Drops the connections nobody will ask about again.
    void Sweep() {
        for (auto it = conns.begin(); it != conns.end();) {
            if (it->second.State < kL2SettingUp || it->second.DownAt >= 0) {
                it = conns.erase(it);
            } else {
                ++it;
            }
        }
        while (conns.size() >= kSimMaxConnections) conns.erase(conns.begin());
    }

    Outcome PickOutcome(const std::string& dest) {
        if (dest.empty()) return Outcome::Refused;
        if (!events.Percent(options.FaultPercent)) return Outcome::Good;
        // Each fault as likely as the others.
        static constexpr Outcome kFaults[] = {Outcome::Refused, Outcome::GivenUp, Outcome::Silent,
                                              Outcome::LinkLost, Outcome::Overlong};
        return kFaults[events.Below(5)];
    }

    void Advance(Connection& c) {
        if (!c.Incoming && !c.Settled && c.Clock >= c.SettleAt) {
            c.Settled = 1;
            if (c.Result == Outcome::Refused) {
                c.State = kL2Down;
            } else if (c.Result == Outcome::GivenUp) {
                c.State = kL2GivenUp;
            } else {
                c.State = kL2Connected;
                QueueBanner(c);
            }
        }
        if (c.Incoming && c.Clock >= c.LeaveAt) c.State = kL2Down;
        if (c.DownAt >= 0 && c.Clock >= c.DownAt) c.State = kL2Down;
    }

    void Queue(Connection& c, int releaseAt, const std::string& text) {
        c.Frames.push_back(
            {releaseAt, MakeL2Frame(reinterpret_cast<const unsigned char*>(text.data()), text.size())});
    }

    Digipeater& DigipeaterFor(const std::string& call) {
        auto it = digis.find(call);
        if (it != digis.end()) return it->second;
        Digipeater& d = digis[call];
        d.Call = call;
        // Names and identifiers depend on the call alone; values on the
        // call and the seed.
        Rng shape{HashText(call)};
        d.Values = Rng{HashText(call) ^ (static_cast<std::uint64_t>(options.Seed) * 0x9E3779B97F4A7C15ull)};
        static const char* const places[] = {"Hochfelln", "Wendelstein", "Feldberg",     "Brocken",
                                             "Zugspitze", "Inselberg",   "Kahler Asten", "Arber"};
        std::snprintf(d.Place, sizeof d.Place, "%s", places[shape.Below(8)]);
        d.LinkCount = shape.Between(1, kSimMaxLinks);
        static const char* const modes[] = {"1200", "9600", "19k2", "76k8", "1k2"};
        static const char* const idents[] = {"0-15", "0-9", "1-14", "0-7", "2-15", "0"};
        for (int i = 0; i < kSimMaxLinks + 3; ++i) {
            SimLink& l = d.Links[i];
            std::snprintf(l.Name, sizeof l.Name, "QX%d%c%c%c", shape.Below(10), 'A' + shape.Below(26),
                          'A' + shape.Below(26), 'A' + shape.Below(26));
            std::snprintf(l.Ident, sizeof l.Ident, "%s", idents[shape.Below(6)]);
            std::snprintf(l.Mode, sizeof l.Mode, "%s", modes[shape.Below(5)]);
            l.Port = shape.Below(16);
            l.Tkby = d.Values.Below(3000);
            l.Rkby = d.Values.Below(3000);
            l.Qty = d.Values.Between(10, 220);
            l.TimeA = d.Values.Between(1, 400);
            l.TimeB = d.Values.Between(1, 400);
            l.Form = d.Values.Percent(70) ? kSlash : d.Values.Below(kTimeForms);
        }
        return d;
    }

    // Values wander between two reports.
    static void Drift(Rng& r, SimLink& l) {
        l.Tkby = (l.Tkby + r.Below(60)) % 10000;  // kilobyte counters wrap at 10000
        l.Rkby = (l.Rkby + r.Below(60)) % 10000;
        l.Qty = Clamp(l.Qty + r.Between(-12, 12), 0, 255);
        l.TimeA = Clamp(l.TimeA + r.Between(-l.TimeA / 8 - 2, l.TimeA / 8 + 2), 1, 9999);
        l.TimeB = Clamp(l.TimeB + r.Between(-l.TimeB / 8 - 2, l.TimeB / 8 + 2), 1, 9999);
        if (r.Percent(6)) l.Form = r.Percent(60) ? kSlash : r.Below(kTimeForms);
    }

    static std::string TimeCell(const SimLink& l) {
        char t[24];
        switch (l.Form) {
            case kSlash:
                std::snprintf(t, sizeof t, "%d/%d", l.TimeA, l.TimeB);
                break;
            case kSlashParen:
                std::snprintf(t, sizeof t, "(%d/%d)", l.TimeA, l.TimeB);
                break;
            case kSingle:
                std::snprintf(t, sizeof t, "%d", l.TimeA);
                break;
            case kSingleParen:
                std::snprintf(t, sizeof t, "(%d)", l.TimeA);
                break;
            default:
                std::snprintf(t, sizeof t, "-");
                break;
        }
        return t;
    }

    static std::string HeadingLine() {
        char line[80];
        std::memset(line, ' ', sizeof line);
        const struct {
            int Column;
            const char* Text;
        } titles[] = {{1, " Nr"},  {8, "Port"},  {14, "Mode"}, {27, "TKBY"}, {32, "RKBY"},
                      {37, "QTY"}, {43, "Loss"}, {54, "Link"}, {61, "SSID"}, {66, "RTT"}};
        for (const auto& t : titles) PutField(line, t.Column, t.Text);
        return std::string(line, 69) + "\r";
    }

    static std::string LinkLine(int number, const SimLink& l) {
        char line[96];
        std::memset(line, ' ', sizeof line);
        char f[16];
        std::snprintf(f, sizeof f, "%3d", number);
        PutField(line, 1, f);
        std::snprintf(f, sizeof f, "%d", l.Port);
        PutField(line, 9, f);
        PutField(line, 14, l.Mode);
        std::snprintf(f, sizeof f, "%4d", l.Tkby);
        PutField(line, 27, f);
        std::snprintf(f, sizeof f, "%4d", l.Rkby);
        PutField(line, 32, f);
        std::snprintf(f, sizeof f, "%3d", l.Qty);
        PutField(line, 37, f);
        std::snprintf(f, sizeof f, "%3d%%", Clamp(100 - l.Qty * 100 / 255, 0, 100));
        PutField(line, 43, f);
        PutField(line, 54, l.Name);
        PutField(line, 61, l.Ident);
        const std::string t = TimeCell(l);
        PutField(line, 66, t.c_str());
        return std::string(line, 66 + t.size()) + "\r";
    }

    void QueueBanner(Connection& c) {
        const Digipeater& d = DigipeaterFor(c.Dest);
        Queue(c, c.Clock, "*** connected to " + d.Call + "\r");
        Queue(c, c.Clock, std::string("FlexNet digipeater ") + d.Call + " (" + d.Place + ")\r");
        Queue(c, c.Clock, "=>\r");
    }

    void QueueReport(Connection& c) {
        if (c.Result == Outcome::Silent) return;
        Digipeater& d = DigipeaterFor(c.Dest);
        int links = d.LinkCount;
        if (c.Result == Outcome::Overlong) links = events.Between(kSimMaxLinks + 1, kSimMaxLinks + 3);
        std::vector<std::string> lines;
        lines.push_back(HeadingLine());
        for (int i = 0; i < links; ++i) {
            Drift(d.Values, d.Links[i]);
            lines.push_back(LinkLine(i + 1, d.Links[i]));
        }
        lines.push_back("=>\r");
        lines.push_back("=>\r");  // the answer to the empty line behind the command
        if (c.Result == Outcome::LinkLost) {
            lines.resize(static_cast<std::size_t>(events.Between(1, static_cast<int>(lines.size()) - 2)));
            c.DownAt = c.Clock + events.Between(1, 3);
        }
        // One to three seconds for the first line, then a few lines a second.
        int at = c.Clock + events.Between(1, 3);
        int inThisSecond = 0;
        for (const std::string& line : lines) {
            Queue(c, at, line);
            if (++inThisSecond >= events.Between(4, 12)) {
                ++at;
                inThisSecond = 0;
            }
        }
    }

    SimOptions options;
    Rng events;
    std::uint16_t lastHandle = 0;
    std::map<std::uint16_t, Connection> conns;
    std::map<std::string, Digipeater> digis;
};

int ReadNumber(const char* text, int lo, int hi, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || (*end != '\0' && *end != ',') || v < lo || v > hi) return 0;
    out = static_cast<int>(v);
    return 1;
}

}  // namespace

SimOptions DefaultSimOptions() {
    return SimOptions{1, 0, kSimDefaultFaultPercent, kSimDefaultCallerSeconds};
}

int ParseSimUri(const char* uri, SimOptions& options, char* error, int errorSize) {
    options = DefaultSimOptions();
    if (std::strcmp(uri, "sim") == 0) return 1;
    if (std::strncmp(uri, "sim:", 4) != 0) {
        std::snprintf(error, static_cast<std::size_t>(errorSize), "not a simulated network: \"%s\"", uri);
        return 0;
    }
    const char* p = uri + 4;
    while (*p) {
        int value = 0;
        int ok = 0;
        if (std::strncmp(p, "seed=", 5) == 0) {
            char* end = nullptr;
            const unsigned long long v = std::strtoull(p + 5, &end, 10);
            ok = end != p + 5 && (*end == '\0' || *end == ',') && v <= 0xFFFFFFFFull;
            if (ok) options.Seed = static_cast<std::uint32_t>(v);
        } else if (std::strncmp(p, "faults=", 7) == 0) {
            ok = ReadNumber(p + 7, 0, 100, value);
            if (ok) options.FaultPercent = value;
        } else if (std::strncmp(p, "callers=", 8) == 0) {
            ok = ReadNumber(p + 8, 0, 1000000, value);
            if (ok) options.CallerSeconds = value;
        } else if (std::strncmp(p, "fail", 4) == 0 && (p[4] == '\0' || p[4] == ',')) {
            ok = 1;
            options.FailInit = 1;
        }
        if (!ok) {
            std::snprintf(error, static_cast<std::size_t>(errorSize),
                          "unknown simulated network option in \"%s\" (use seed=N, faults=PERCENT, "
                          "callers=SECONDS, fail)",
                          uri);
            return 0;
        }
        const char* comma = std::strchr(p, ',');
        if (!comma) break;
        p = comma + 1;
    }
    return 1;
}

std::unique_ptr<Layer2> CreateSimNetwork(const SimOptions& options) {
    return std::make_unique<SimNetwork>(options);
}
