// The layer-2 interface on a TNC that speaks KISS, chosen with
//   kiss://HOST:PORT[/N]        KISS over TCP, TNC port N (default 0)
//   kiss:/dev/DEVICE[?baud=B]   KISS on a serial line, raw 8N1 (default 9600)
// with the data link's parameters in the query, each optional:
//   t1=SECONDS   first and shortest acknowledgement timer (default 4, times
//                2m + 1 through m digipeaters)
//   t3=SECONDS   link check of a quiet link (default 180)
//   n2=TRIES     tries before a link is given up (default 10)
//   k=FRAMES     window, 1..7 (default 4)
//   paclen=BYTES longest information field sent, 1..256 (default 128)
// e.g. kiss://localhost:8001?k=2&paclen=64.
//
// The TNC only moves frames; the connections are the program's own AX.25
// data links (ax25_link.h), one per handle, mapped onto the eight
// functions with the same results as the AGW client:
//   ax_init      opens the stream (TCP connect with a bounded wait, or the
//                serial device); 0 when that fails
//   l2_connect   the first call of the connect path is the destination,
//                further calls are digipeaters; SABM goes out; state 2
//   l2_stat      2 while the connect is pending, 5 while the link is up
//                (also while it is being ended), 0 when it is down; 0x40
//                while received lines are queued
//   l2_get_i     received text cut into CR-terminated lines, one frame each
//   l2_ialloc    granted while the link is up and its backlog is short
//   l2_puts      LF becomes CR; cut into I frames of at most paclen bytes
//   l2_bef       4 ends the link once what was sent is acknowledged (DISC);
//                2, 7, 14 and 15 are bookkeeping
//   l2_get_sabm  answers connects to the given call from then on; the handle
//                of an incoming connection to it not yet taken, else 0
// Frames that are not for one of our calls (other stations on the channel,
// frames still on their way through a digipeater) are ignored; frames that
// do not decode are counted and dropped.
//
// When the TNC goes away every link drops to state 0 and the stream is
// reopened in the background (kiss_transport.h).
//
// Threading: GUI thread only; one instance per TNC.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "radio/ax25_link.h"
#include "radio/kiss_frame.h"
#include "radio/kiss_transport.h"
#include "radio/layer2.h"

// Handles remembered at once (live and dead); the oldest dead one goes.
constexpr int kKissMaxLinks = 64;
// Received bytes kept unread per handle; beyond that the link is ended.
constexpr std::size_t kKissMaxUnreadBytes = 64 * 1024;
// A link ended with command 4 whose text is still not acknowledged after
// this long is released all the same.
constexpr long long kKissDrainTimeoutMs = 120000;

struct KissOptions {
    KissEndpoint Endpoint;
    int KissPort = 0;
    Ax25Params Params;  // T1Ms 0: 4 s, times 2m + 1 through m digipeaters
};

// Parses the URIs above. 0 with a one-line reason naming the bad part in
// error when the URI or a value is malformed.
int ParseKissUri(const char* uri, KissOptions* options, char* error, int errorSize);

// Milliseconds on a clock that never goes back; tests move their own.
struct KissClock {
    virtual ~KissClock() = default;
    virtual long long NowMs() = 0;
};
KissClock& SteadyKissClock();

// What the layer 2 has counted since it started.
struct KissCounters {
    long long FramesOut, BytesOut;  // AX.25 frames and their bytes handed to the TNC
    long long FramesIn;             // frames for one of our links
    long long Undecodable;          // frames that did not decode
    long long Retries;              // acknowledgement timer expiries
};

class KissClient final : public Layer2, private KissStreamOwner {
public:
    explicit KissClient(const KissOptions& options, KissClock& clock = SteadyKissClock());
    KissClient(const KissClient&) = delete;
    KissClient& operator=(const KissClient&) = delete;

    int ax_init() override;
    std::uint16_t l2_connect(const char* mycall, const char* callPath) override;
    std::uint16_t l2_get_sabm(const char* mycall) override;
    int l2_stat(int zero, std::uint16_t handle) override;
    const unsigned char* l2_get_i(std::uint16_t handle) override;
    int l2_ialloc(std::uint16_t handle, int bytes) override;
    void l2_puts(std::uint16_t handle, const char* text) override;
    void l2_bef(int command, std::uint16_t handle) override;
    Layer2Health health() const override { return Layer2Health{transport_.IsUp(), transport_.Reopens()}; }
    Layer2Wakeup Service() override;

    // Reads and writes what the stream allows and runs the links' timers;
    // every layer-2 call does this first.
    void Poll();
    const KissCounters& Counters() const { return counters_; }

private:
    struct Link {
        std::uint16_t Handle = 0;
        Ax25Link L2;
        int Incoming = 0;
        int Taken = 0;    // an incoming link handed out by l2_get_sabm
        int Closing = 0;  // command 4 given (DISC once all is acknowledged), or ended by us
        long long ClosingSince = 0;
        long long Serial = 0;
        std::deque<std::vector<unsigned char>> Lines;
        std::size_t Unread = 0;
        std::vector<unsigned char> Current;  // handed out by l2_get_i
        int Remembered = 0;                  // its timing went into stations_ when it ended
    };
    // What the links to one station taught: the smoothed round trip, which
    // the next link starts from, and how long a DM may still come for a
    // DISC repeated at the end of the last link.
    struct Station {
        int Used = 0;
        Ax25Address Own{}, Remote{};
        long long Srt = 0;
        long long StrayDmUntil = 0;
        long long Serial = 0;
    };

    void OnKissBytes(const unsigned char* bytes, std::size_t size) override;
    void OnKissLost() override;
    void OnKissBack() override;
    void OnFrame(const Ax25Frame& frame, long long now);
    void Pump(Link& link, long long now);  // deliver, drain, transmit
    Link* Find(std::uint16_t handle);
    Link* FindLive(const Ax25Address& own, const Ax25Address& remote);
    Link* NewLink();
    Station* FindStation(const Ax25Address& own, const Ax25Address& remote);
    void Remember(const Ax25Link& link, long long now);

    KissOptions options_;
    KissClock& clock_;
    KissTransport transport_;
    KissDecoder decoder_;
    KissCounters counters_{};
    Ax25Address listen_{};  // the call connects are answered for
    int listening_ = 0;
    std::vector<std::unique_ptr<Link>> links_;
    Station stations_[16];
    std::uint16_t lastHandle_ = 0;
    long long serial_ = 0;
};

std::unique_ptr<Layer2> CreateKissClient(const KissOptions& options);
