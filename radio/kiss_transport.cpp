// The byte stream to a KISS TNC; see kiss_transport.h.
#include "radio/kiss_transport.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// A stream up this long without a loss ends an episode of trouble.
constexpr long long kSteadyMs = 60000;
// Losses and failed reopens of one episode are summed up this often.
constexpr long long kTroubleReportMs = 600000;
// A flooding TNC cannot hold the program's thread.
constexpr int kReadBytesPerPoll = 256 * 1024;

struct BaudRate {
    int Baud;
    speed_t Speed;
};
constexpr BaudRate kBaudRates[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
};

}  // namespace

int KissBaudSupported(int baud) {
    for (const BaudRate& b : kBaudRates) {
        if (b.Baud == baud) return 1;
    }
    return 0;
}

KissTransport::KissTransport(const KissEndpoint& endpoint, KissStreamOwner& owner)
    : endpoint_(endpoint), owner_(owner), retryMs_(endpoint.ReconnectIntervalMs) {
    name_ = endpoint_.Device.empty() ? endpoint_.Host + ":" + std::to_string(endpoint_.TcpPort)
                                     : endpoint_.Device;
}

KissTransport::~KissTransport() {
    if (fd_ >= 0) close(fd_);
}

// Raw 8N1 without flow control at the chosen speed; a TNC that needs
// anything else is set up with its own tools before.
int KissTransport::OpenSerial() {
    const int fd = open(endpoint_.Device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        openError_ = std::strerror(errno);
        return -1;
    }
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CRTSCTS);
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        // VMIN 1: on a terminal with VMIN 0 and VTIME 0 an empty read
        // returns 0 even without blocking, which reads as a hang-up; with
        // VMIN 1 it fails with EAGAIN, and 0 means what it says.
        t.c_cc[VMIN] = 1;
        t.c_cc[VTIME] = 0;
        for (const BaudRate& b : kBaudRates) {
            if (b.Baud == endpoint_.Baud) {
                cfsetispeed(&t, b.Speed);
                cfsetospeed(&t, b.Speed);
            }
        }
        tcsetattr(fd, TCSANOW, &t);  // a pseudo-terminal takes what it can
    } else if (errno != ENOTTY) {
        openError_ = std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

int KissTransport::Open(long long now) {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    connecting_ = 0;
    out_.clear();
    openError_.clear();
    if (!endpoint_.Device.empty()) {
        fd_ = OpenSerial();
    } else {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const std::string service = std::to_string(endpoint_.TcpPort);
        const int resolved = getaddrinfo(endpoint_.Host.c_str(), service.c_str(), &hints, &found);
        if (resolved != 0) {
            openError_ = gai_strerror(resolved);
            return 0;
        }
        for (addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
            address_.assign(reinterpret_cast<unsigned char*>(a->ai_addr),
                            reinterpret_cast<unsigned char*>(a->ai_addr) + a->ai_addrlen);
            StartConnect(now);
            // The one wait of the stream: ax_init may take that long.
            if (fd_ >= 0 && connecting_) {
                pollfd p{fd_, POLLOUT, 0};
                if (poll(&p, 1, endpoint_.InitTimeoutMs) > 0) FinishConnect(now);
                if (connecting_) {
                    openError_ = "no answer";
                    close(fd_);
                    fd_ = -1;
                    connecting_ = 0;
                }
            }
        }
        freeaddrinfo(found);
    }
    if (fd_ < 0) {
        if (openError_.empty()) openError_ = std::strerror(ETIMEDOUT);  // no address answered
        return 0;
    }
    opened_ = 1;
    upSince_ = now;
    return 1;
}

void KissTransport::StartConnect(long long now) {
    lastAttempt_ = now;
    if (address_.empty()) return;
    const auto* addr = reinterpret_cast<const sockaddr*>(address_.data());
    const int fd = socket(addr->sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        openError_ = std::strerror(errno);
        return;
    }
    // Frames are small and an acknowledgement must not wait for Nagle.
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (connect(fd, addr, static_cast<socklen_t>(address_.size())) == 0) {
        fd_ = fd;
        if (opened_) Back(now);
        return;
    }
    if (errno != EINPROGRESS) {
        openError_ = std::strerror(errno);
        close(fd);
        return;
    }
    fd_ = fd;
    connecting_ = 1;
}

void KissTransport::FinishConnect(long long now) {
    pollfd p{fd_, POLLOUT, 0};
    if (poll(&p, 1, 0) <= 0) return;
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
        openError_ = std::strerror(err != 0 ? err : errno);
        close(fd_);
        fd_ = -1;
        connecting_ = 0;
        ++failures_;
        return;
    }
    connecting_ = 0;
    if (opened_) Back(now);
}

void KissTransport::Back(long long now) {
    upSince_ = now;
    ++reopens_;
    if (!backSaid_) {
        LogLine(endpoint_.Log, "hopwatch: connected to the KISS TNC at %s again", name_.c_str());
        backSaid_ = 1;
    }
    owner_.OnKissBack();
}

void KissTransport::Drop(const char* why, long long now) {
    if (fd_ < 0) return;
    close(fd_);
    fd_ = -1;
    connecting_ = 0;
    out_.clear();
    lastAttempt_ = now;
    // A stream that fails again soon after it came back is given more time.
    if (now - upSince_ < kSteadyMs) {
        retryMs_ = failures_++ == 0 ? endpoint_.ReconnectIntervalMs
                                    : std::min<long long>(2 * retryMs_, endpoint_.ReconnectMaxMs);
    }
    owner_.OnKissLost();
    if (!troubled_) {
        LogLine(endpoint_.Log, "hopwatch: lost the KISS TNC at %s (%s); reopening in the background",
                name_.c_str(), why);
        troubled_ = 1;
        backSaid_ = 0;
        saidAt_ = now;
        unsaid_ = 0;
    } else {
        ++unsaid_;
        lastWhy_ = why;
    }
}

void KissTransport::WatchTrouble(long long now) {
    if (IsUp() && now - upSince_ >= kSteadyMs) {
        if (troubled_ && unsaid_ > 0) {
            LogLine(endpoint_.Log, "hopwatch: KISS TNC at %s steady again after %lld more losses",
                    name_.c_str(), unsaid_);
        }
        troubled_ = failures_ = 0;
        retryMs_ = endpoint_.ReconnectIntervalMs;
        unsaid_ = 0;
    }
    if (troubled_ && unsaid_ > 0 && now - saidAt_ >= kTroubleReportMs) {
        LogLine(endpoint_.Log, "hopwatch: KISS TNC at %s: %lld more losses or failed reopens (last: %s)",
                name_.c_str(), unsaid_, lastWhy_.c_str());
        saidAt_ = now;
        unsaid_ = 0;
    }
}

void KissTransport::Poll(long long now) {
    if (!opened_) return;
    if (fd_ < 0 && now - lastAttempt_ >= retryMs_) {
        lastAttempt_ = now;
        if (!endpoint_.Device.empty()) {
            fd_ = OpenSerial();
            if (fd_ >= 0) {
                Back(now);
            } else {
                ++failures_;
                ++unsaid_;
                lastWhy_ = std::strerror(errno);
                retryMs_ = std::min<long long>(2 * retryMs_, endpoint_.ReconnectMaxMs);
            }
        } else {
            StartConnect(now);
        }
    }
    if (fd_ >= 0 && connecting_) {
        FinishConnect(now);
        if (fd_ >= 0 && connecting_ && now - lastAttempt_ >= endpoint_.InitTimeoutMs) {
            close(fd_);
            fd_ = -1;
            connecting_ = 0;
            ++failures_;
        }
        if (fd_ < 0) {
            ++unsaid_;
            lastWhy_ = "connect failed";
            retryMs_ = std::min<long long>(2 * retryMs_, endpoint_.ReconnectMaxMs);
        }
    }
    if (IsUp()) {
        ReadAvailable(now);
        Flush(now);
    }
    WatchTrouble(now);
}

void KissTransport::ReadAvailable(long long now) {
    unsigned char chunk[4096];
    int total = 0;
    while (fd_ >= 0 && total < kReadBytesPerPoll) {
        const ssize_t n = read(fd_, chunk, sizeof chunk);
        if (n == 0) {
            Drop(endpoint_.Device.empty() ? "connection closed" : "device closed", now);
            return;
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return;
            Drop(std::strerror(errno), now);
            return;
        }
        total += static_cast<int>(n);
        owner_.OnKissBytes(chunk, static_cast<std::size_t>(n));
    }
}

void KissTransport::Flush(long long now) {
    std::size_t sent = 0;
    while (fd_ >= 0 && sent < out_.size()) {
        // A socket closed by the TNC must not raise SIGPIPE.
        const ssize_t n = endpoint_.Device.empty()
                              ? send(fd_, out_.data() + sent, out_.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT)
                              : write(fd_, out_.data() + sent, out_.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        Drop(n < 0 ? std::strerror(errno) : "write failed", now);
        return;
    }
    if (fd_ >= 0) out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(sent));
}

void KissTransport::Write(const unsigned char* bytes, std::size_t size, long long now) {
    if (!IsUp()) return;
    out_.insert(out_.end(), bytes, bytes + size);
    Flush(now);
    if (fd_ >= 0 && out_.size() > kKissMaxSendBacklog) Drop("the TNC takes nothing we send", now);
}
