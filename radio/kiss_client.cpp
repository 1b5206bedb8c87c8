// The layer-2 functions on a KISS TNC with the program's own AX.25 data
// links; the mapping is described in kiss_client.h.
#include "radio/kiss_client.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "radio/agw_frame.h"
#include "radio/link_handles.h"

namespace {

constexpr long long kDownPollMs = 1000;  // how often a lost TNC is looked for between ticks

// The first T1 of a link through `digis` digipeaters when the URI sets
// none: 4 s, times 2m + 1 through m digipeaters. At 1200 baud a station's
// answer to a command can be a long frame, and T1 cannot pause while the
// channel is busy, because over KISS the program never hears the channel.
int DefaultT1Ms(int digis) {
    return 4000 * (2 * digis + 1);
}

struct SteadyClock final : KissClock {
    long long NowMs() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};

// Seconds with up to three decimals ("2", "2.5") into milliseconds; 0 when
// the text is not such a number. Not strtod: the locale may want a comma.
int ParseSeconds(const std::string& text, long long* ms) {
    long long whole = 0, frac = 0;
    int digits = 0, fracDigits = 0;
    std::size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 6; ++i, ++digits) {
        whole = whole * 10 + (text[i] - '0');
    }
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9' && fracDigits < 3; ++i, ++fracDigits) {
            frac = frac * 10 + (text[i] - '0');
        }
        if (fracDigits == 0) return 0;
    }
    if (digits == 0 || i != text.size()) return 0;
    while (fracDigits++ < 3) frac *= 10;
    *ms = whole * 1000 + frac;
    return 1;
}

int ParseCount(const std::string& text, long long* value) {
    if (text.empty() || text.size() > 7) return 0;
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + (c - '0');
    }
    *value = v;
    return 1;
}

}  // namespace

KissClock& SteadyKissClock() {
    static SteadyClock clock;
    return clock;
}

int ParseKissUri(const char* uri, KissOptions* options, char* error, int errorSize) {
    auto fail = [&](const std::string& why) {
        std::snprintf(error, static_cast<std::size_t>(errorSize), "bad KISS backend \"%.200s\": %s", uri,
                      why.c_str());
        return 0;
    };
    KissOptions o;
    o.Params.T1Ms = 0;  // unless t1 is given: 3 s plus 2 s per digipeater of each link's path
    const std::string text = uri == nullptr ? "" : uri;
    const std::size_t question = text.find('?');
    const std::string where = text.substr(0, question);
    const std::string query = question == std::string::npos ? "" : text.substr(question + 1);
    if (where.rfind("kiss://", 0) == 0) {
        std::size_t p = 7;
        if (p < where.size() && where[p] == '[') {
            const std::size_t close = where.find(']', p);
            if (close == std::string::npos) return fail("unclosed [ in the host");
            o.Endpoint.Host = where.substr(p + 1, close - p - 1);
            p = close + 1;
        } else {
            const std::size_t end = std::min(where.find(':', p), where.find('/', p));
            o.Endpoint.Host = where.substr(p, end == std::string::npos ? std::string::npos : end - p);
            p = end == std::string::npos ? where.size() : end;
        }
        if (o.Endpoint.Host.empty()) return fail("no host");
        if (p < where.size() && where[p] == ':') {
            const std::size_t end = std::min(where.find('/', p), where.size());
            long long port = 0;
            if (!ParseCount(where.substr(p + 1, end - p - 1), &port) || port < 1 || port > 65535) {
                return fail("the TCP port must be 1..65535");
            }
            o.Endpoint.TcpPort = static_cast<int>(port);
            p = end;
        }
        if (p < where.size() && where[p] == '/') {
            long long n = 0;
            if (!ParseCount(where.substr(p + 1), &n) || n > 15) return fail("the KISS port must be 0..15");
            o.KissPort = static_cast<int>(n);
            p = where.size();
        }
        if (p != where.size()) return fail("unexpected text after the host");
    } else if (where.rfind("kiss:/", 0) == 0) {
        o.Endpoint.Device = where.substr(5);
        if (o.Endpoint.Device.size() < 2) return fail("no device after kiss:");
    } else {
        return fail("it must begin with kiss:// (TCP) or kiss:/dev/ (serial)");
    }
    // The query: name=value pairs joined by '&'.
    for (std::size_t at = 0; !query.empty() && at <= query.size();) {
        const std::size_t amp = std::min(query.find('&', at), query.size());
        const std::string pair = query.substr(at, amp - at);
        at = amp + 1;
        const std::size_t eq = pair.find('=');
        if (eq == std::string::npos) return fail("\"" + pair + "\" is not name=value");
        const std::string name = pair.substr(0, eq), value = pair.substr(eq + 1);
        long long v = 0;
        if (name == "baud") {
            if (o.Endpoint.Device.empty()) return fail("baud is for a serial line only");
            if (!ParseCount(value, &v) || !KissBaudSupported(static_cast<int>(v))) {
                return fail(
                    "baud must be one of 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400");
            }
            o.Endpoint.Baud = static_cast<int>(v);
        } else if (name == "t1") {
            if (!ParseSeconds(value, &v) || v < 1000 || v > 30000) return fail("t1 must be 1..30 seconds");
            o.Params.T1Ms = static_cast<int>(v);
        } else if (name == "t3") {
            if (!ParseSeconds(value, &v) || (v != 0 && v < 10000) || v > 3600000) {
                return fail("t3 must be 10..3600 seconds, or 0 for none");
            }
            o.Params.T3Ms = static_cast<int>(v);
        } else if (name == "n2") {
            if (!ParseCount(value, &v) || v < 1 || v > 30) return fail("n2 must be 1..30");
            o.Params.N2 = static_cast<int>(v);
        } else if (name == "k") {
            if (!ParseCount(value, &v) || v < 1 || v > 7) return fail("k must be 1..7");
            o.Params.K = static_cast<int>(v);
        } else if (name == "paclen") {
            if (!ParseCount(value, &v) || v < 16 || v > 256) return fail("paclen must be 16..256");
            o.Params.Paclen = static_cast<int>(v);
        } else {
            return fail("unknown parameter \"" + name + "\" (t1, t3, n2, k, paclen" +
                        (o.Endpoint.Device.empty() ? ")" : ", baud)"));
        }
    }
    *options = o;
    return 1;
}

KissClient::KissClient(const KissOptions& options, KissClock& clock)
    : options_(options), clock_(clock), transport_(options.Endpoint, *this) {
    decoder_.Port = options.KissPort;
}

int KissClient::ax_init() {
    if (transport_.Opened() && transport_.IsUp()) return 1;
    if (transport_.Open(clock_.NowMs())) return 1;
    LogLine(options_.Endpoint.Log, "hopwatch: cannot open the KISS TNC at %s: %s", transport_.Name().c_str(),
            transport_.OpenError().c_str());
    return 0;
}

void KissClient::Poll() {
    if (!transport_.Opened()) return;
    const long long now = clock_.NowMs();
    transport_.Poll(now);
    for (auto& l : links_) {
        Ax25Tick(l->L2, now);
        Pump(*l, now);
    }
}

Layer2Wakeup KissClient::Service() {
    Poll();
    if (!transport_.Opened()) return Layer2Wakeup{-1, -1};
    if (!transport_.IsUp()) return Layer2Wakeup{-1, static_cast<int>(kDownPollMs)};
    const long long now = clock_.NowMs();
    long long due = 0;
    for (auto& l : links_) {
        const long long d = Ax25NextDue(l->L2);
        if (d != 0 && (due == 0 || d < due)) due = d;
        if (l->Closing && Ax25IsUp(l->L2)) {
            const long long drained = l->ClosingSince + kKissDrainTimeoutMs;
            if (due == 0 || drained < due) due = drained;
        }
    }
    const int in = due == 0 ? -1 : static_cast<int>(std::clamp<long long>(due - now, 0, 3600000));
    return Layer2Wakeup{transport_.Fd(), in};
}

void KissClient::OnKissBytes(const unsigned char* bytes, std::size_t size) {
    std::vector<std::vector<unsigned char>> frames;
    DecodeKiss(decoder_, bytes, size, &frames);
    const long long now = clock_.NowMs();
    for (const auto& raw : frames) {
        Ax25Frame f;
        if (!DecodeAx25Frame(raw.data(), raw.size(), &f)) {
            ++counters_.Undecodable;
            continue;
        }
        OnFrame(f, now);
    }
}

void KissClient::OnKissLost() {
    for (auto& l : links_) Ax25Lost(l->L2);
}

void KissClient::OnKissBack() {}

void KissClient::OnFrame(const Ax25Frame& f, long long now) {
    // A frame still on its way through a digipeater is not ours yet.
    for (int i = 0; i < f.DigiCount; ++i) {
        if (!f.Digis[i].Bit) return;
    }
    Link* live = FindLive(f.Destination, f.Source);
    if (live != nullptr && live->L2.State == Ax25State::AwaitingConnection &&
        Ax25KindOf(f.Control) == Ax25Kind::U && Ax25Type(f.Control) == kAx25DM) {
        // The station's answer to a repeated DISC of the link before this
        // one may come after our SABM: it is no refusal of the new link.
        Station* s = FindStation(f.Destination, f.Source);
        if (s != nullptr && now < s->StrayDmUntil) {
            s->StrayDmUntil = 0;
            return;
        }
    }
    if (live != nullptr) {
        ++counters_.FramesIn;
        Ax25Receive(live->L2, f, now);
        Pump(*live, now);
        return;
    }
    // Not a link of ours: a station calling us, a late frame of a link
    // that has ended, or other stations' traffic, which is none of ours.
    int ours = listening_ && SameAx25Address(f.Destination, listen_);
    for (auto& l : links_) ours = ours || SameAx25Address(l->L2.Own, f.Destination);
    if (!ours) return;
    ++counters_.FramesIn;
    Link scratch;
    Link* target = &scratch;
    const int calling = Ax25KindOf(f.Control) == Ax25Kind::U && Ax25Type(f.Control) == kAx25SABM;
    if (calling && listening_ && SameAx25Address(f.Destination, listen_)) {
        Link* l = NewLink();
        if (l != nullptr) {
            l->Incoming = 1;
            target = l;
        }
    }
    Ax25Link& l2 = target->L2;
    l2.Params = options_.Params;
    l2.Own = f.Destination;
    l2.Remote = f.Source;
    // Answers go back the way the frame came.
    l2.DigiCount = f.DigiCount;
    for (int i = 0; i < f.DigiCount; ++i) l2.Digis[i] = f.Digis[f.DigiCount - 1 - i];
    if (l2.Params.T1Ms == 0) l2.Params.T1Ms = DefaultT1Ms(f.DigiCount);
    if (target == &scratch) {
        // Refused callers get DM, polls of ended links DM, SABME FRMR.
        Ax25Receive(l2, f, now);
        l2.State = Ax25State::Disconnected;
        Pump(scratch, now);
        return;
    }
    Ax25Receive(l2, f, now);
    Pump(*target, now);
}

void KissClient::Pump(Link& l, long long now) {
    while (!l.L2.Received.empty()) {
        std::vector<std::vector<unsigned char>> lines;
        SplitAgwLines(l.L2.Received.front().data(), l.L2.Received.front().size(), &lines);
        l.L2.Received.pop_front();
        for (auto& line : lines) {
            if (l.Unread + line.size() > kKissMaxUnreadBytes) {
                // Nobody reads this link or its station floods it: what is
                // held stays small, and the link is ended.
                l.L2.Received.clear();
                l.Closing = 1;
                Ax25Disconnect(l.L2, now);
                break;
            }
            l.Unread += line.size();
            l.Lines.push_back(std::move(line));
        }
    }
    if (l.Closing && Ax25IsUp(l.L2) && (Ax25AllAcked(l.L2) || now - l.ClosingSince >= kKissDrainTimeoutMs)) {
        Ax25Disconnect(l.L2, now);
    }
    counters_.Retries += l.L2.Retries;
    l.L2.Retries = 0;
    if (!l.Remembered && l.L2.State == Ax25State::Disconnected && l.L2.End != Ax25End::None) {
        l.Remembered = 1;
        Remember(l.L2, now);
    }
    std::vector<unsigned char> kiss;
    for (const auto& frame : l.L2.Out) {
        ++counters_.FramesOut;
        counters_.BytesOut += static_cast<long long>(frame.size());
        EncodeKissFrame(options_.KissPort, frame.data(), frame.size(), &kiss);
    }
    l.L2.Out.clear();
    if (!kiss.empty()) transport_.Write(kiss.data(), kiss.size(), now);
}

KissClient::Station* KissClient::FindStation(const Ax25Address& own, const Ax25Address& remote) {
    for (Station& s : stations_) {
        if (s.Used && SameAx25Address(s.Own, own) && SameAx25Address(s.Remote, remote)) return &s;
    }
    return nullptr;
}

void KissClient::Remember(const Ax25Link& l, long long now) {
    Station* s = FindStation(l.Own, l.Remote);
    if (s == nullptr) {
        // A new station takes the place of the one heard of longest ago.
        s = &stations_[0];
        for (Station& t : stations_) {
            if (!t.Used || t.Serial < s->Serial) s = &t;
            if (!t.Used) break;
        }
        *s = Station{};
        s->Used = 1;
        s->Own = l.Own;
        s->Remote = l.Remote;
    }
    s->Serial = ++serial_;
    if (l.Srt > 0) s->Srt = l.Srt;
    // A release that took more than one DISC may still draw a DM for the
    // later ones.
    s->StrayDmUntil = l.End == Ax25End::Released && l.RC > 0 ? now + l.T1V : 0;
}

KissClient::Link* KissClient::Find(std::uint16_t handle) {
    if (handle == 0) return nullptr;
    for (auto& l : links_) {
        if (l->Handle == handle) return l.get();
    }
    return nullptr;
}

KissClient::Link* KissClient::FindLive(const Ax25Address& own, const Ax25Address& remote) {
    for (auto& l : links_) {
        if (l->L2.State != Ax25State::Disconnected && SameAx25Address(l->L2.Own, own) &&
            SameAx25Address(l->L2.Remote, remote)) {
            return l.get();
        }
    }
    return nullptr;
}

KissClient::Link* KissClient::NewLink() {
    return NewHandleLink(
        links_, kKissMaxLinks, lastHandle_, serial_,
        [](const Link& l) { return l.L2.State == Ax25State::Disconnected; },
        [](const Link& l) { return !l.Lines.empty() || !l.Current.empty(); });
}

std::uint16_t KissClient::l2_connect(const char* mycall, const char* callPath) {
    Poll();
    Ax25Address own{}, path[kAx25MaxDigis + 1]{};
    // The destination, then up to eight digipeaters.
    const int count = ForEachPathCall(callPath, [&](const std::string& word, int i) {
        return i <= kAx25MaxDigis && ParseAx25Address(word.c_str(), &path[i]);
    });
    const int ok = ParseAx25Address(mycall, &own) && count > 0;
    Link* l = NewLink();
    if (l == nullptr) return 0;
    if (!ok || !transport_.IsUp()) return l->Handle;  // down: the connect failed
    Ax25Link& l2 = l->L2;
    l2.Params = options_.Params;
    if (l2.Params.T1Ms == 0) l2.Params.T1Ms = DefaultT1Ms(count - 1);
    l2.Own = own;
    l2.Remote = path[0];
    if (const Station* known = FindStation(own, path[0])) l2.Srt = known->Srt;
    l2.DigiCount = count - 1;
    for (int i = 1; i < count; ++i) l2.Digis[i - 1] = path[i];
    const long long now = clock_.NowMs();
    Ax25Connect(l2, now);
    Pump(*l, now);
    return l->Handle;
}

std::uint16_t KissClient::l2_get_sabm(const char* mycall) {
    Poll();
    Ax25Address call{};
    if (!ParseAx25Address(mycall, &call)) {
        listening_ = 0;  // no valid own call: nobody can call us
        return 0;
    }
    listen_ = call;
    listening_ = 1;
    std::uint16_t found = 0;
    const long long now = clock_.NowMs();
    for (auto& l : links_) {
        if (!l->Incoming || l->Taken || !Ax25IsUp(l->L2)) continue;
        if (!SameAx25Address(l->L2.Own, call)) {
            // A caller of a call that is not ours any more: not left hanging.
            l->Taken = 1;
            l->Closing = 1;
            Ax25Disconnect(l->L2, now);
            Pump(*l, now);
            continue;
        }
        if (found == 0) {
            l->Taken = 1;
            found = l->Handle;
        }
    }
    return found;
}

int KissClient::l2_stat(int, std::uint16_t handle) {
    Poll();
    const Link* l = Find(handle);
    if (l == nullptr) return 0;
    int state = kL2Down;
    switch (l->L2.State) {
        case Ax25State::AwaitingConnection:
            state = kL2SettingUp;
            break;
        case Ax25State::AwaitingRelease:
            state = l->Closing ? kL2Connected : kL2SettingUp;  // ended by command 4 while up, or withdrawn
            break;
        case Ax25State::Connected:
        case Ax25State::TimerRecovery:
            state = kL2Connected;
            break;
        case Ax25State::Disconnected:
            break;
    }
    return state | (l->Lines.empty() ? 0 : kL2DataWaiting);
}

const unsigned char* KissClient::l2_get_i(std::uint16_t handle) {
    Poll();
    Link* l = Find(handle);
    if (l == nullptr) return nullptr;
    l->Current.clear();
    if (l->Lines.empty()) return nullptr;
    l->Current = std::move(l->Lines.front());
    l->Lines.pop_front();
    l->Unread -= l->Current.size();
    return l->Current.data();
}

int KissClient::l2_ialloc(std::uint16_t handle, int) {
    Poll();
    Link* l = Find(handle);
    if (l == nullptr || l->Closing || !Ax25IsUp(l->L2) || !transport_.IsUp()) return 0;
    const std::size_t room =
        static_cast<std::size_t>(l->L2.Params.K) * static_cast<std::size_t>(l->L2.Params.Paclen);
    return Ax25Backlog(l->L2) < room ? 1 : 0;
}

void KissClient::l2_puts(std::uint16_t handle, const char* text) {
    Poll();
    Link* l = Find(handle);
    if (l == nullptr || text == nullptr || l->Closing || !Ax25IsUp(l->L2)) return;
    std::string data(text);
    std::replace(data.begin(), data.end(), '\n', '\r');
    const long long now = clock_.NowMs();
    Ax25Send(l->L2, reinterpret_cast<const unsigned char*>(data.data()), data.size(), now);
    Pump(*l, now);
}

void KissClient::l2_bef(int command, std::uint16_t handle) {
    Poll();
    Link* l = Find(handle);
    if (l == nullptr) return;
    const long long now = clock_.NowMs();
    switch (command) {
        case kL2FrameDone:
            l->Current.clear();
            return;
        case kL2Disconnect:
            if (l->L2.State == Ax25State::AwaitingConnection) {
                Ax25Disconnect(l->L2, now);  // withdrawn
            } else if (Ax25IsUp(l->L2) && !l->Closing) {
                // Text sent on the link goes out first: DISC once the
                // station has acknowledged it (Pump).
                l->Closing = 1;
                l->ClosingSince = now;
            }
            Pump(*l, now);
            return;
        default:
            return;  // 2, 7 and 14 need nothing from the TNC
    }
}

std::unique_ptr<Layer2> CreateKissClient(const KissOptions& options) {
    return std::make_unique<KissClient>(options);
}
