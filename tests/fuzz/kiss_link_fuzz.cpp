// Feeds two AX.25 data links (Q1AAA calling, Q2BBB answering) what a TNC
// might hand over: KISS bytes decoded into frames, frames built from the
// input, and each other's frames delivered, lost or duplicated in order,
// while the clock moves by the input. After every step both links must be
// consistent: a known state, sequence variables modulo 8 with no more than
// K frames outstanding, no timer left behind, every frame put on the air
// decodes and carries the link's own addresses, and nothing is received
// that was not sent until a link is set up again while up (what the caller
// sent arrives as it was sent while nothing else was fed in).
//
// Input: steps of three bytes op, a, b; ops 0, 1, 2 and 3 then take a count
// and that many bytes.
//   0 KISS bytes for link a&1      1 a frame with control a to link b&1
//   2 text put on link a&1         3 -
//   4 a*b*10 ms pass (0: to the next timer)
//   5 the oldest frame of link a&1 to the other: b&1 lost, b&2 twice
//   6 link a&1: connect, disconnect, lost (b%3)
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "radio/ax25_frame.h"
#include "radio/ax25_link.h"
#include "radio/kiss_frame.h"

namespace {

// sentToIt < 0: not looked at.
void Check(const Ax25Link& l, long long now, const std::string& received, long long sentToIt) {
    const int state = static_cast<int>(l.State), end = static_cast<int>(l.End);
    if (state < 0 || state > static_cast<int>(Ax25State::TimerRecovery)) std::abort();
    if (end < 0 || end > static_cast<int>(Ax25End::Reset)) std::abort();
    if (l.VS < 0 || l.VS > 7 || l.VR < 0 || l.VR > 7 || l.VA < 0 || l.VA > 7) std::abort();
    if (((l.VS - l.VA) & 7) > l.Params.K) std::abort();
    const long long due = Ax25NextDue(l);
    if (due != 0 && due <= now) std::abort();  // a timer that did not run when due
    if (sentToIt >= 0 && static_cast<long long>(received.size()) > sentToIt) std::abort();
    for (const std::vector<unsigned char>& b : l.Out) {
        Ax25Frame f{};
        if (!DecodeAx25Frame(b.data(), b.size(), &f)) std::abort();
        if (!SameAx25Address(f.Source, l.Own) || !SameAx25Address(f.Destination, l.Remote)) std::abort();
        if (Ax25KindOf(f.Control) == Ax25Kind::I && f.InfoSize > static_cast<std::size_t>(l.Params.Paclen))
            std::abort();
        if (Ax25KindOf(f.Control) == Ax25Kind::I && !f.Command) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Ax25Link link[2];
    for (int i = 0; i < 2; ++i) {
        ParseAx25Address(i ? "Q2BBB" : "Q1AAA", &link[i].Own);
        ParseAx25Address(i ? "Q1AAA" : "Q2BBB", &link[i].Remote);
        link[i].Params.K = 1 + static_cast<int>(size % 7),
        link[i].Params.Paclen = 1 + static_cast<int>(size % 64);
        link[i].Params.N2 = 3;
    }
    KissDecoder decoder[2];
    std::string sent[2], received[2];
    std::size_t injected[2] = {0, 0};  // information bytes fed to a link from outside
    int clean = 1, connects = 0;       // the caller's text arrives as sent
    long long now = 1000000;
    auto feed = [&](int k, const Ax25Frame& f) { Ax25Receive(link[k], f, now); };

    std::size_t p = 0;
    auto next = [&]() -> int { return p < size ? data[p++] : 0; };
    while (p < size) {
        const int op = next() % 7, a = next(), b = next();
        const std::size_t n = op <= 3 ? std::min<std::size_t>(next(), size - p) : 0;
        const unsigned char* bytes = data + std::exchange(p, p + n);
        const int i = a & 1;
        if (op == 0) {
            std::vector<std::vector<unsigned char>> frames;
            DecodeKiss(decoder[i], bytes, n, &frames);
            for (const std::vector<unsigned char>& fb : frames) {
                Ax25Frame f{};
                if (fb.size() > kKissMaxFrame) std::abort();
                if (!DecodeAx25Frame(fb.data(), fb.size(), &f)) continue;
                injected[i] += f.InfoSize, clean = 0;
                feed(i, f);
            }
        }
        if (op == 1) {
            const Ax25Link& to = link[b & 1];
            Ax25Frame f{};
            f.Source = to.Remote, f.Destination = to.Own, f.Command = b >> 1 & 1;
            f.Destination.Bit = f.Command, f.Source.Bit = !f.Command;
            f.Control = static_cast<unsigned char>(a);
            const bool withPid = Ax25KindOf(f.Control) == Ax25Kind::I || Ax25Type(f.Control) == kAx25UI;
            f.Pid = withPid ? kAx25PidText : -1;
            f.InfoSize = std::min(n, kAx25MaxInfo);
            std::copy(bytes, bytes + f.InfoSize, f.Info);
            injected[b & 1] += f.InfoSize, clean = 0;
            feed(b & 1, f);
        }
        if (op == 2) {
            if (i == 0 && !Ax25IsUp(link[0])) clean = 0;  // text put on a link that is not up may be dropped
            Ax25Send(link[i], bytes, n, now);
            sent[i].append(reinterpret_cast<const char*>(bytes), n);
        }
        if (op == 4) {
            const long long due = std::min(Ax25NextDue(link[0]) ? Ax25NextDue(link[0]) : now + 3600000,
                                           Ax25NextDue(link[1]) ? Ax25NextDue(link[1]) : now + 3600000);
            now = a && b ? now + a * b * 10LL : std::max(now, due);
            Ax25Tick(link[0], now), Ax25Tick(link[1], now);
        }
        if (op == 5 && !link[i].Out.empty()) {
            const std::vector<unsigned char> fb = std::move(link[i].Out.front());
            link[i].Out.pop_front();
            Ax25Frame f{};
            if (!DecodeAx25Frame(fb.data(), fb.size(), &f)) std::abort();
            for (int k = b & 1 ? 0 : b & 2 ? 2 : 1; k > 0; --k) feed(1 - i, f);
        }
        if (op == 6) {
            if (b % 3 == 0 && i == 0) ++connects;
            if (b % 3 == 0) Ax25Connect(link[i], now);
            if (b % 3 == 1) Ax25Disconnect(link[i], now);
            const int wasDown = link[i].State == Ax25State::Disconnected;
            if (b % 3 == 2) Ax25Lost(link[i]), clean = 0;
            if (b % 3 == 2 && !wasDown && !link[i].Out.empty()) std::abort();  // nothing more goes out
            if (b % 3 == 0 && i == 1) clean = 0;
        }
        for (int k = 0; k < 2; ++k) {
            for (const std::vector<unsigned char>& r : link[k].Received)
                received[k].append(r.begin(), r.end());
            link[k].Received.clear();
            while (link[k].Out.size() > 64) link[k].Out.pop_front();
        }
        for (int k = 0; k < 2; ++k)
            Check(link[k], op == 4 ? now : 0, received[k],
                  static_cast<long long>(sent[1 - k].size() + injected[k]));
        // While nothing else was fed in and the caller connected once, the
        // answerer holds a beginning of the caller's text.
        if (clean && connects <= 1 && sent[0].compare(0, received[1].size(), received[1]) != 0) std::abort();
    }
    return 0;
}
