// Feeds the AGWPE client what a TNC might send, over a real loopback
// connection from the fake TNC, interleaved with the layer-2 calls of the
// connect cycle and the answering service. After every step each handle
// must stand at 0, 2 or 5, and its data bit must promise a frame that
// l2_get_i then hands out, with a count that matches its text.
//
// Input: operations, one byte each plus operands:
//   0 n ...   n raw bytes from the TNC        1 k c n ...  a frame of kind k
//   2 c       l2_connect to call c            3            l2_get_sabm
//   4 h n     l2_ialloc                       5 h n ...    l2_puts of n bytes
//   6 h b     l2_bef                          7 s          s seconds pass
#include <sys/socket.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/agw_client.h"
#include "agw_fake_server.h"

namespace {
// Serves the fake TNC while ax_init waits on it, so no real time passes.
struct ServingClock final : AgwClock {
    long long Now = 1000000000;
    FakeAgwServer* Tnc = nullptr;
    long long NowMs() override { return Tnc != nullptr ? (Tnc->Pump(), Now) : Now; }
};
const char* const kCalls[] = {"Q1DIG", "Q1DIG Q2VIA", "Q1OWN", "Q2VIA-1", ""};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FakeAgwServer* const tnc = new FakeAgwServer;
    ServingClock clock;
    AgwOptions options;
    options.Host = "127.0.0.1", options.TcpPort = tnc->Port;
    auto client = std::make_unique<AgwClient>(options, clock);
    clock.Tnc = tnc;
    if (!client->ax_init()) std::abort();
    clock.Tnc = nullptr;
    client->l2_get_sabm("Q1OWN");  // registers the own call

    std::vector<std::uint16_t> handles;
    std::size_t p = 0;
    auto next = [&]() -> int { return p < size ? data[p++] : 0; };
    auto take = [&]() {
        const std::size_t n = std::min(static_cast<std::size_t>(next()), size - p);
        return std::string(reinterpret_cast<const char*>(data + std::exchange(p, p + n)), n);
    };
    auto handle = [&]() -> std::uint16_t {
        const int i = next();
        return i < static_cast<int>(handles.size()) ? handles[static_cast<std::size_t>(i)]
                                                    : static_cast<std::uint16_t>(i);
    };
    while (p < size) {
        switch (next() % 8) {
            case 0: {
                const std::string raw = take();
                tnc->SendBytes(std::vector<unsigned char>(raw.begin(), raw.end()));
                break;
            }
            case 1: {
                const char kind = static_cast<char>(next());
                const char* call = kCalls[next() % 5];
                tnc->Send(kind, call, "Q1OWN", take(), next() & 1);
                break;
            }
            case 2: handles.push_back(client->l2_connect("Q1OWN", kCalls[next() % 5])); break;
            case 3: handles.push_back(client->l2_get_sabm("Q1OWN")); break;
            case 4: client->l2_ialloc(handle(), next()); break;
            case 5: {
                const std::uint16_t h = handle();
                client->l2_puts(h, take().c_str());
                break;
            }
            case 6: {
                const std::uint16_t h = handle();
                client->l2_bef(next(), h);
                break;
            }
            case 7: clock.Now += next() * 1000LL, tnc->Pump(); break;
        }
        if (handles.size() > 16) handles.erase(handles.begin());
        client->Poll();
        for (const std::uint16_t h : handles) {
            const int stat = client->l2_stat(0, h), state = stat & kL2StateMask;
            const unsigned char* f = client->l2_get_i(h);
            if ((state != 0 && state != 2 && state != 5) || (stat & ~(kL2StateMask | kL2DataWaiting)) ||
                ((stat & kL2DataWaiting) && f == nullptr))
                std::abort();
            if (f != nullptr && (f[2] != 0 || (f[0] | f[1] << 8) == 0 || f[3 + (f[0] | f[1] << 8)] != 0))
                std::abort();
        }
    }
    tnc->Take();
    const linger now{1, 0};  // a reset: no TIME_WAIT piles up over millions of runs
    setsockopt(tnc->client_, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    tnc->Vanish();
    return 0;
}
