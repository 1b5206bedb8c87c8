// The TCP connection to an AGWPE TNC; see agw_connection.h.
#include "radio/agw_connection.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kReadBytesPerPoll = 1 << 20;  // a flooding TNC cannot hold the GUI thread

struct SteadyClock final : AgwClock {
    long long NowMs() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};

// Non-blocking, and without Nagle's delay: commands are small and often
// come in pairs ('x' then 'X', 'Y' then 'D'), and the second would wait for
// the TNC's delayed acknowledgement of the first.
void PrepareSocket(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

// Waits for events on fd until the deadline on the clock, in slices of at
// most kAgwWaitSliceMs; 0 when the time is up or poll failed.
int WaitSlice(AgwClock& clock, long long deadline, int fd, short events) {
    const long long left = deadline - clock.NowMs();
    if (left <= 0) return 0;
    pollfd p{fd, events, 0};
    return poll(&p, 1, static_cast<int>(std::min<long long>(left, kAgwWaitSliceMs))) >= 0 || errno == EINTR;
}

}  // namespace

AgwClock& SteadyAgwClock() {
    static SteadyClock clock;
    return clock;
}

int ParseAgwUri(const char* uri, AgwOptions* options, char* error, int errorSize) {
    auto fail = [&](const char* why) {
        std::snprintf(error, static_cast<std::size_t>(errorSize), "bad AGW backend \"%s\": %s", uri, why);
        return 0;
    };
    static const char kScheme[] = "agw://";
    if (std::strncmp(uri, kScheme, sizeof kScheme - 1) != 0) return fail("it must begin with agw://");
    const char* p = uri + sizeof kScheme - 1;
    std::string host;
    if (*p == '[') {
        const char* close = std::strchr(p, ']');
        if (close == nullptr) return fail("unclosed [ in the host");
        host.assign(p + 1, close);
        p = close + 1;
    } else {
        const char* end = p;
        while (*end != '\0' && *end != ':' && *end != '/') ++end;
        host.assign(p, end);
        p = end;
    }
    if (host.empty()) return fail("no host");
    long port = 8000;
    if (*p == ':') {
        char* end = nullptr;
        port = std::strtol(p + 1, &end, 10);
        if (end == p + 1 || port < 1 || port > 65535) return fail("the TCP port must be 1..65535");
        p = end;
    }
    long radio = 0;
    if (*p == '/') {
        char* end = nullptr;
        radio = std::strtol(p + 1, &end, 10);
        if (end == p + 1 || radio < 0 || radio > 255) return fail("the radio port must be 0..255");
        p = end;
    }
    if (*p != '\0') return fail("unexpected text after the port");
    options->Host = host;
    options->TcpPort = static_cast<int>(port);
    options->RadioPort = static_cast<int>(radio);
    return 1;
}

AgwConnection::AgwConnection(const AgwOptions& options, AgwClock& clock, AgwConnectionOwner& owner)
    : options_(options), clock_(clock), owner_(owner), retryMs_(options.ReconnectIntervalMs) {}

AgwConnection::~AgwConnection() {
    if (fd_ >= 0) close(fd_);
}

void AgwConnection::Say(const char* format, ...) {
    char text[400];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    LogLine(options_.Log, "hopwatch: TNC at %s:%d: %s", options_.Host.c_str(), options_.TcpPort, text);
}

void AgwConnection::SayOnce(AgwFault fault, const char* text) {
    const unsigned bit = static_cast<unsigned>(fault);
    if (said_ & bit) return;
    said_ |= bit;
    Say("%s", text);
}

void AgwConnection::CloseSocket() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    phase_ = AgwPhase::Closed;
}

int AgwConnection::Open() {
    CloseSocket();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(options_.TcpPort);
    if (getaddrinfo(options_.Host.c_str(), service.c_str(), &hints, &found) != 0) return 0;
    const long long deadline = clock_.NowMs() + options_.InitTimeoutMs;
    for (addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
        address_.assign(reinterpret_cast<unsigned char*>(a->ai_addr),
                        reinterpret_cast<unsigned char*>(a->ai_addr) + a->ai_addrlen);
        StartConnect(clock_.NowMs());
        while (phase_ == AgwPhase::Connecting && WaitSlice(clock_, deadline, fd_, POLLOUT)) FinishConnect();
        if (phase_ == AgwPhase::Connecting) CloseSocket();
    }
    freeaddrinfo(found);
    if (fd_ < 0) return 0;
    while (phase_ == AgwPhase::AwaitingVersion && WaitSlice(clock_, deadline, fd_, POLLIN)) ReadAvailable();
    if (phase_ != AgwPhase::Up) {
        CloseSocket();
        in_.clear();
        out_.clear();
        return 0;
    }
    opened_ = 1;
    lastHeard_ = upSince_ = clock_.NowMs();
    return 1;
}

void AgwConnection::StartConnect(long long now) {
    lastAttempt_ = now;
    if (address_.empty()) return;
    const auto* addr = reinterpret_cast<const sockaddr*>(address_.data());
    const int fd = socket(addr->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    PrepareSocket(fd);
    if (connect(fd, addr, static_cast<socklen_t>(address_.size())) == 0) {
        fd_ = fd;
        AskVersion();
        return;
    }
    if (errno != EINPROGRESS) {
        close(fd);
        return;
    }
    fd_ = fd;
    phase_ = AgwPhase::Connecting;
}

void AgwConnection::FinishConnect() {
    pollfd p{fd_, POLLOUT, 0};
    if (poll(&p, 1, 0) <= 0) return;
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
        CloseSocket();
        return;
    }
    AskVersion();
}

// Any listener accepts a TCP connection; only a TNC answers 'R'.
void AgwConnection::AskVersion() {
    phase_ = AgwPhase::AwaitingVersion;
    EncodeAgwFrame(options_.RadioPort, 'R', 0, nullptr, nullptr, nullptr, 0, &out_);
    FlushOutput();
}

void AgwConnection::Reconnected() {
    lastHeard_ = upSince_ = clock_.NowMs();
    if (episode_ == AgwEpisode::Lost) {
        LogLine(options_.Log, "hopwatch: connected to the TNC at %s:%d again", options_.Host.c_str(),
                options_.TcpPort);
        episode_ = AgwEpisode::Back;
    }
    owner_.OnAgwReconnected();
}

void AgwConnection::Drop(const char* why, int fault) {
    if (fd_ < 0) return;
    const int wasUp = IsUp();
    CloseSocket();
    in_.clear();
    out_.clear();
    const long long now = clock_.NowMs();
    lastAttempt_ = now;
    // A TNC that is merely gone is looked for at the normal rate; one that
    // answers wrongly or not at all is given more time between attempts.
    if (opened_ && (fault || !wasUp)) {
        const long long base = options_.ReconnectIntervalMs;
        retryMs_ = faults_++ == 0 ? base : std::min<long long>(2 * retryMs_, options_.ReconnectMaxMs);
    }
    owner_.OnAgwLost();
    if (!opened_) return;
    if (episode_ == AgwEpisode::Steady) {
        LogLine(options_.Log, "hopwatch: lost the TNC at %s:%d (%s); reconnecting in the background",
                options_.Host.c_str(), options_.TcpPort, why);
        episode_ = AgwEpisode::Lost;
        saidAt_ = now;
        unsaid_ = 0;
    } else {
        ++unsaid_;
        lastWhy_ = why;
    }
}

void AgwConnection::WatchTrouble(long long now) {
    if (IsUp() && now - upSince_ >= kAgwSteadyMs) {
        if (episode_ != AgwEpisode::Steady && unsaid_ > 0) {
            Say("steady again after %lld more losses or failed reconnects", unsaid_);
        }
        episode_ = AgwEpisode::Steady;
        faults_ = 0;
        retryMs_ = options_.ReconnectIntervalMs;
        unsaid_ = 0;
    }
    if (episode_ != AgwEpisode::Steady && unsaid_ > 0 && now - saidAt_ >= kAgwTroubleReportMs) {
        Say("%lld more losses or failed reconnects in %lld minutes (last: %s); trying every %lld s", unsaid_,
            (now - saidAt_) / 60000, lastWhy_.c_str(), retryMs_ / 1000);
        saidAt_ = now;
        unsaid_ = 0;
    }
}

void AgwConnection::Poll(long long now) {
    if (!opened_) return;
    if (phase_ == AgwPhase::Closed && now - lastAttempt_ >= retryMs_) StartConnect(now);
    if (phase_ == AgwPhase::Connecting) FinishConnect();
    if (phase_ != AgwPhase::Closed && phase_ != AgwPhase::Connecting) {
        ReadAvailable();
        FlushOutput();
    }
    if (phase_ != AgwPhase::Closed && !IsUp() && now - lastAttempt_ >= options_.InitTimeoutMs) {
        Drop("no answer to the version request", 1);
    }
    if (IsUp() && options_.ProbeIdleMs > 0) {
        // Quiet for long: asked for its version, which any live TNC answers.
        if (phase_ == AgwPhase::Up && now - lastHeard_ >= options_.ProbeIdleMs) {
            phase_ = AgwPhase::Probing;
            probedAt_ = now;
            Send('R', 0, nullptr, nullptr, nullptr, 0);
        } else if (phase_ == AgwPhase::Probing && now - probedAt_ >= options_.ProbeReplyMs) {
            char why[80];
            std::snprintf(why, sizeof why, "silent for %lld s", (now - lastHeard_) / 1000);
            Drop(why, 1);
        }
    }
    WatchTrouble(now);
}

void AgwConnection::ReadAvailable() {
    unsigned char chunk[4096];
    int total = 0;
    while (fd_ >= 0 && total < kReadBytesPerPoll) {
        const ssize_t n = recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n == 0) {
            Drop("connection closed", 0);
            return;
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;
            Drop(std::strerror(errno), 0);
            return;
        }
        total += static_cast<int>(n);
        lastHeard_ = clock_.NowMs();
        if (phase_ == AgwPhase::Probing) phase_ = AgwPhase::Up;
        in_.insert(in_.end(), chunk, chunk + n);
        std::size_t offset = 0;
        for (;;) {
            AgwFrame frame{};
            std::size_t used = 0;
            const AgwDecodeResult r = DecodeAgwFrame(in_.data() + offset, in_.size() - offset, &frame, &used);
            if (r == kAgwNeedMore) break;
            if (r == kAgwBadLength) {
                SayOnce(AgwFault::BadLength, "frame with an impossible data length; connection reset");
                Drop("garbled stream", 1);
                return;
            }
            if (frame.Kind == 'R') {
                if (phase_ == AgwPhase::AwaitingVersion) {
                    phase_ = AgwPhase::Up;
                    if (opened_) Reconnected();
                }
            } else {
                owner_.OnAgwFrame(frame);
            }
            if (fd_ < 0) return;  // the frame's handling gave the connection up
            offset += used;
        }
        in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(offset));
    }
}

void AgwConnection::FlushOutput() {
    std::size_t sent = 0;
    while (fd_ >= 0 && phase_ != AgwPhase::Connecting && sent < out_.size()) {
        const ssize_t n = send(fd_, out_.data() + sent, out_.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        Drop(n < 0 ? std::strerror(errno) : "send failed", 0);
        return;
    }
    if (fd_ >= 0) out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(sent));
}

void AgwConnection::Send(char kind, int pid, const char* from, const char* to, const unsigned char* data,
                         std::size_t size) {
    if (!IsUp()) return;
    EncodeAgwFrame(options_.RadioPort, kind, pid, from, to, data, size, &out_);
    FlushOutput();
    if (out_.size() > kAgwMaxSendBacklog) {
        SayOnce(AgwFault::Backlog, "the TNC reads nothing we send; connection reset");
        Drop("send backlog full", 1);
    }
}
