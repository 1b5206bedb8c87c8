// Feeds the AGWPE client what a TNC might send, over a real loopback
// connection from the fake TNC, interleaved with the layer-2 calls of the
// connect cycle and the answering service. After every step each handle
// must stand at 0, 2 or 5, and its data bit must promise a frame that
// l2_get_i then hands out, with a count that matches its text.
//
// Input: steps of three bytes op, a, b; ops 0, 1 and 5 then take a count
// and that many bytes of text. a picks a handle (or is one).
//   0 raw bytes from the TNC    1 a frame of kind a from call b
//   2 l2_connect to call a      3 l2_get_sabm       4 l2_ialloc of b bytes
//   5 l2_puts of the text       6 l2_bef b          7 b seconds pass
#include <sys/socket.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "agw_fake_server.h"
#include "radio/agw_client.h"

static const char* const kCalls[] = {"Q1DIG", "Q1DIG Q2VIA", "Q1OWN", "Q2VIA-1", ""};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FakeAgwServer* const tnc = new FakeAgwServer;
    FakeAgwClock clock;
    AgwOptions options;
    options.Host = "127.0.0.1", options.TcpPort = tnc->Port;
    AgwClient client(options, clock);
    clock.Tnc = tnc;
    if (!client.ax_init()) std::abort();
    clock.Tnc = nullptr;
    client.l2_get_sabm("Q1OWN");  // registers the own call

    std::vector<std::uint16_t> handles;
    std::size_t p = 0;
    auto next = [&]() -> int { return p < size ? data[p++] : 0; };
    while (p < size) {
        const int op = next() % 8, a = next(), b = next();
        const std::size_t n = op == 0 || op == 1 || op == 5 ? std::min<std::size_t>(next(), size - p) : 0;
        const std::string text(reinterpret_cast<const char*>(data + std::exchange(p, p + n)), n);
        const auto h = static_cast<std::uint16_t>(a < static_cast<int>(handles.size()) ? handles[a] : a);
        if (op == 0) tnc->SendBytes({text.begin(), text.end()});
        if (op == 1) tnc->Send(static_cast<char>(a), kCalls[b % 5], "Q1OWN", text, b >> 7);
        if (op == 2) handles.push_back(client.l2_connect("Q1OWN", kCalls[a % 5]));
        if (op == 3) handles.push_back(client.l2_get_sabm("Q1OWN"));
        if (op == 4) client.l2_ialloc(h, b);
        if (op == 5) client.l2_puts(h, text.c_str());
        if (op == 6) client.l2_bef(b % 16, h);
        if (op == 7) clock.Now += b * 1000LL, tnc->Pump();
        if (handles.size() > 16) handles.erase(handles.begin());
        client.Poll();
        for (const std::uint16_t k : handles) {
            const int stat = client.l2_stat(0, k), state = stat & kL2StateMask;
            const unsigned char* f = client.l2_get_i(k);
            const int count = f != nullptr ? f[0] | f[1] << 8 : 0;
            if ((state != 0 && state != 2 && state != 5) || (stat & ~(kL2StateMask | kL2DataWaiting)) ||
                ((stat & kL2DataWaiting) && f == nullptr) || (f && (!count || f[2] || f[3 + count])))
                std::abort();
        }
    }
    tnc->Take();
    const linger now{1, 0};  // a reset: no TIME_WAIT piles up over millions of runs
    setsockopt(tnc->client_, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    tnc->Vanish();
    return 0;
}
