// The TCP connection to a TNC that speaks the AGWPE protocol: connecting
// with a bounded wait, the version exchange that tells a TNC from any other
// listener, non-blocking reads and writes with a bounded send backlog,
// decoding frames from the byte stream, and reconnecting in the background
// after the TNC went away. What the frames mean is the owner's business
// (agw_client.h).
//
// A TNC in trouble must neither hang the calls nor flood the log:
// - one that has said nothing for ProbeIdleMs is asked for its version and
//   dropped when it does not answer within ProbeReplyMs (a stopped process
//   keeps its TCP connection open, and every call would wait for ever);
// - a reconnect counts only once the TNC has answered the version request;
//   while it keeps failing (garbage, silence, no answer) the wait between
//   attempts doubles from ReconnectIntervalMs up to ReconnectMaxMs;
// - the loss is said once, the return once, and further losses and failed
//   attempts of the same episode only as a count every kAgwTroubleReportMs;
//   the episode ends when the connection has stayed up for kAgwSteadyMs.
//
// Time comes from an AgwClock, so that tests can move it on instead of
// waiting.
//
// Threading: GUI thread only; one instance per TNC connection.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/log_sink.h"
#include "radio/agw_frame.h"

// Bytes waiting to be sent to a TNC that reads nothing before the
// connection is given up.
constexpr std::size_t kAgwMaxSendBacklog = 256 * 1024;
// Longest real wait inside one poll of the socket while ax_init waits; the
// clock decides when the whole wait is over.
constexpr int kAgwWaitSliceMs = 10;
// A reconnected TNC counts as steady again after this long without a loss.
constexpr long long kAgwSteadyMs = 60000;
// Losses and failed reconnects of one episode are summed up this often.
constexpr long long kAgwTroubleReportMs = 600000;

struct AgwOptions {
    std::string Host = "localhost";
    int TcpPort = 8000;
    int RadioPort = 0;
    int InitTimeoutMs = 3000;               // TCP connect plus version reply, also on reconnects
    int ReconnectIntervalMs = 3000;         // between background reconnect attempts ...
    int ReconnectMaxMs = 60000;             // ... doubling up to this while the TNC stays faulty
    int ProbeIdleMs = 20000;                // a TNC this long quiet is asked for its version (0: never)
    int ProbeReplyMs = 5000;                // and dropped when nothing comes back within this
    int OutstandingReplyTimeoutMs = 10000;  // a TNC that never answers 'Y'
    int DisconnectTimeoutMs = 120000;       // draining before 'd', and 'd' unconfirmed, each
    int DrainAskIntervalMs = 200;           // 'Y' while waiting to disconnect
    LogSink Log{};                          // where trouble with the TNC is said (null: nowhere)
};

// Parses agw://HOST:PORT[/RADIOPORT] (HOST may be [v6-address]). 0 with a
// one-line reason in error when the URI is malformed.
int ParseAgwUri(const char* uri, AgwOptions* options, char* error, int errorSize);

// Milliseconds on a clock that never goes back.
struct AgwClock {
    virtual ~AgwClock() = default;
    virtual long long NowMs() = 0;
};
// std::chrono::steady_clock; shared by every client.
AgwClock& SteadyAgwClock();

// Faults in what the TNC does, each said once in the log.
enum class AgwFault : unsigned {
    BadLength = 1,
    UnknownKind = 2,
    BadCall = 4,
    QueueFull = 8,
    Backlog = 16,
    ShortReply = 32,
    NoAskReply = 64,
    StrayRegisterReply = 128,
};

// What the connection tells its owner.
struct AgwConnectionOwner {
    virtual ~AgwConnectionOwner() = default;
    // Every decoded frame but the version reply.
    virtual void OnAgwFrame(const AgwFrame& frame) = 0;
    // The TNC is back after a loss and has been asked for its version.
    virtual void OnAgwReconnected() = 0;
    // The connection is gone; nothing sent before reaches the TNC.
    virtual void OnAgwLost() = 0;
};

// Where the connection to the TNC stands.
enum class AgwPhase {
    Closed,           // no socket
    Connecting,       // the TCP connect is under way
    AwaitingVersion,  // connected; the TNC has not yet answered the version request
    Up,               // the TNC answered; frames flow
    Probing,          // up, but quiet for long: a version request is out
};

// The current episode of trouble, for saying a loss and a return once each.
enum class AgwEpisode {
    Steady,  // no loss since the connection last stayed up for kAgwSteadyMs
    Lost,    // a loss was said; the return has not been
    Back,    // the return was said; further losses are only counted
};

class AgwConnection {
public:
    AgwConnection(const AgwOptions& options, AgwClock& clock, AgwConnectionOwner& owner);
    ~AgwConnection();
    AgwConnection(const AgwConnection&) = delete;
    AgwConnection& operator=(const AgwConnection&) = delete;

    // Connects and waits at most InitTimeoutMs for the version reply; 1
    // when the TNC answered. Once opened, later polls reconnect by
    // themselves.
    int Open();
    // 1 once Open has succeeded, whatever the connection's state since.
    int Opened() const { return opened_; }
    // 1 while the connection to the TNC is up and it has answered the
    // version request.
    int IsUp() const { return phase_ == AgwPhase::Up || phase_ == AgwPhase::Probing; }
    // Reconnects when due, then reads and writes whatever the socket
    // allows. Does nothing before the first successful Open.
    void Poll(long long now);
    // Queues one frame on the radio port and writes what the socket takes;
    // dropped while the connection is down.
    void Send(char kind, int pid, const char* from, const char* to, const unsigned char* data,
              std::size_t size);
    void SayOnce(AgwFault fault, const char* text);
    const AgwOptions& Options() const { return options_; }

private:
    void StartConnect(long long now);
    void FinishConnect();
    void AskVersion();
    void Reconnected();
    // fault: the TNC misbehaved (garbage, silence, no version reply), which
    // lengthens the wait before the next attempt.
    void Drop(const char* why, int fault);
    void CloseSocket();
    void ReadAvailable();
    void FlushOutput();
    void WatchTrouble(long long now);
    void Say(const char* format, ...);

    AgwOptions options_;
    AgwClock& clock_;
    AgwConnectionOwner& owner_;
    std::vector<unsigned char> address_;  // resolved sockaddr of the TNC
    int fd_ = -1;
    AgwPhase phase_ = AgwPhase::Closed;
    int opened_ = 0;
    long long lastAttempt_ = 0;
    long long lastHeard_ = 0;  // the TNC last sent anything
    long long probedAt_ = 0;
    long long upSince_ = 0;
    long long retryMs_;  // wait before the next attempt
    int faults_ = 0;     // faulty losses and attempts in a row
    AgwEpisode episode_ = AgwEpisode::Steady;
    long long saidAt_ = 0;
    long long unsaid_ = 0;  // losses and failed attempts since the last line
    std::string lastWhy_;
    std::vector<unsigned char> in_;
    std::vector<unsigned char> out_;
    unsigned said_ = 0;
};
