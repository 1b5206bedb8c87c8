// AGWPE TCP client behind the layer-2 interface; the mapping is described
// in agw_client.h.
//
// Calls seen from the TNC: in a 'C', 'd' or 'D' notification CallFrom is
// the other station and CallTo our own call; in a 'Y' reply and in
// everything we send CallFrom is our own call and CallTo the other station.
#include "acquisition/agw_client.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kReadBytesPerPoll = 1 << 20;  // a flooding TNC cannot hold the GUI thread
constexpr int kPidText = 0xF0;

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int SameCall(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
            return 0;
        }
    }
    return 1;
}

// Case-insensitive search of needle in the first size bytes of text.
int ContainsNoCase(const unsigned char* text, std::size_t size, const char* needle) {
    const std::size_t n = std::strlen(needle);
    for (std::size_t i = 0; i + n <= size; ++i) {
        std::size_t k = 0;
        while (k < n && std::tolower(text[i + k]) == std::tolower(static_cast<unsigned char>(needle[k]))) ++k;
        if (k == n) return 1;
    }
    return 0;
}

// Non-blocking, and without Nagle's delay: commands are small and often
// come in pairs ('x' then 'X', 'Y' then 'D'), and the second would wait for
// the TNC's delayed acknowledgement of the first.
void PrepareSocket(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

}  // namespace

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

int NormaliseAgwCall(const char* call, char* out, int outSize) {
    const std::size_t n = call == nullptr ? 0 : std::strlen(call);
    if (n == 0 || n > 9 || static_cast<int>(n) >= outSize) return 0;
    int dashes = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(call[i]);
        if (c == '-') {
            // "-SSID" with a number after a non-empty base call
            if (++dashes > 1 || i == 0 || i + 1 == n) return 0;
        } else if (!std::isalnum(c) || c >= 0x80) {
            return 0;
        } else if (dashes && !std::isdigit(c)) {
            return 0;
        }
        out[i] = static_cast<char>(std::toupper(c));
    }
    out[n] = '\0';
    return 1;
}

AgwClient::AgwClient(const AgwOptions& options) : options_(options) {}

AgwClient::~AgwClient() {
    if (fd_ >= 0) close(fd_);
}

void AgwClient::SayOnce(Fault fault, const char* text) {
    const unsigned bit = static_cast<unsigned>(fault);
    if (said_ & bit) return;
    said_ |= bit;
    std::fprintf(stderr, "hopwatch: TNC at %s:%d: %s\n", options_.Host.c_str(), options_.TcpPort, text);
}

int AgwClient::ax_init() {
    if (initialised_ && IsConnected()) return 1;
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
        connecting_ = 0;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(options_.TcpPort);
    if (getaddrinfo(options_.Host.c_str(), service.c_str(), &hints, &found) != 0) return 0;
    const long long deadline = NowMs() + options_.InitTimeoutMs;
    for (addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
        address_.assign(reinterpret_cast<unsigned char*>(a->ai_addr),
                        reinterpret_cast<unsigned char*>(a->ai_addr) + a->ai_addrlen);
        StartConnect(NowMs());
        while (fd_ >= 0 && connecting_) {
            const long long left = deadline - NowMs();
            if (left <= 0) break;
            pollfd p{fd_, POLLOUT, 0};
            if (poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) break;
            FinishConnect();
        }
        if (fd_ >= 0 && connecting_) {
            close(fd_);
            fd_ = -1;
            connecting_ = 0;
        }
    }
    freeaddrinfo(found);
    if (fd_ < 0) return 0;
    // The version reply tells a TNC from any other listener on that port.
    versionSeen_ = 0;
    Send('R', 0, nullptr, nullptr, nullptr, 0);
    while (fd_ >= 0 && !versionSeen_) {
        const long long left = deadline - NowMs();
        if (left <= 0) break;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) break;
        ReadAvailable();
    }
    if (fd_ < 0 || !versionSeen_) {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        in_.clear();
        out_.clear();
        return 0;
    }
    initialised_ = 1;
    if (!wantedCall_.empty()) Register(wantedCall_);
    return 1;
}

void AgwClient::StartConnect(long long now) {
    lastAttempt_ = now;
    if (address_.empty()) return;
    const auto* addr = reinterpret_cast<const sockaddr*>(address_.data());
    const int fd = socket(addr->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    PrepareSocket(fd);
    if (connect(fd, addr, static_cast<socklen_t>(address_.size())) == 0) {
        fd_ = fd;
        connecting_ = 0;
        if (initialised_) OnConnected();
        return;
    }
    if (errno != EINPROGRESS) {
        close(fd);
        return;
    }
    fd_ = fd;
    connecting_ = 1;
}

void AgwClient::FinishConnect() {
    pollfd p{fd_, POLLOUT, 0};
    if (poll(&p, 1, 0) <= 0) return;
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
        close(fd_);
        fd_ = -1;
        connecting_ = 0;
        return;
    }
    connecting_ = 0;
    if (initialised_) OnConnected();
}

void AgwClient::OnConnected() {
    std::fprintf(stderr, "hopwatch: connected to the TNC at %s:%d again\n", options_.Host.c_str(),
                 options_.TcpPort);
    registeredCall_.clear();
    askSupported_ = 1;  // it may be another TNC now
    askAnswered_ = 0;
    Send('R', 0, nullptr, nullptr, nullptr, 0);
    if (!wantedCall_.empty()) Register(wantedCall_);
}

void AgwClient::DropConnection(const char* why) {
    if (fd_ < 0) return;
    const int wasUp = !connecting_;
    close(fd_);
    fd_ = -1;
    connecting_ = 0;
    in_.clear();
    out_.clear();
    registeredCall_.clear();
    lastAttempt_ = NowMs();
    for (auto& l : links_) {
        // Received lines stay readable; the links themselves are gone.
        l->State = 0;
        l->Closing = 0;
        l->DiscSent = 0;
        l->AskPending = 0;
    }
    if (wasUp && initialised_) {
        std::fprintf(stderr, "hopwatch: lost the TNC at %s:%d (%s); reconnecting in the background\n",
                     options_.Host.c_str(), options_.TcpPort, why);
    }
}

void AgwClient::Poll() {
    if (!initialised_) return;
    const long long now = NowMs();
    if (fd_ < 0 && now - lastAttempt_ >= options_.ReconnectIntervalMs) StartConnect(now);
    if (fd_ >= 0 && connecting_) FinishConnect();
    if (IsConnected()) {
        ReadAvailable();
        FlushOutput();
    }
    CheckTimeouts(now);
}

void AgwClient::ReadAvailable() {
    unsigned char chunk[4096];
    int total = 0;
    while (fd_ >= 0 && total < kReadBytesPerPoll) {
        const ssize_t n = recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n == 0) {
            DropConnection("connection closed");
            return;
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;
            DropConnection(std::strerror(errno));
            return;
        }
        total += static_cast<int>(n);
        in_.insert(in_.end(), chunk, chunk + n);
        std::size_t offset = 0;
        for (;;) {
            AgwFrame frame{};
            std::size_t used = 0;
            const AgwDecodeResult r = DecodeAgwFrame(in_.data() + offset, in_.size() - offset, &frame, &used);
            if (r == kAgwNeedMore) break;
            if (r == kAgwBadLength) {
                SayOnce(Fault::BadLength, "frame with an impossible data length; connection reset");
                DropConnection("garbled stream");
                return;
            }
            HandleFrame(frame);
            if (fd_ < 0) return;  // the frame's handling gave the connection up
            offset += used;
        }
        in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(offset));
    }
}

void AgwClient::FlushOutput() {
    std::size_t sent = 0;
    while (fd_ >= 0 && !connecting_ && sent < out_.size()) {
        const ssize_t n = send(fd_, out_.data() + sent, out_.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        DropConnection(n < 0 ? std::strerror(errno) : "send failed");
        return;
    }
    if (fd_ >= 0) out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(sent));
}

void AgwClient::Send(char kind, int pid, const char* from, const char* to, const unsigned char* data,
                     std::size_t size) {
    if (fd_ < 0 || connecting_) return;
    EncodeAgwFrame(options_.RadioPort, kind, pid, from, to, data, size, &out_);
    FlushOutput();
    if (out_.size() > kAgwMaxSendBacklog) {
        SayOnce(Fault::Backlog, "the TNC reads nothing we send; connection reset");
        DropConnection("send backlog full");
    }
}

void AgwClient::Register(const std::string& call) {
    if (!IsConnected() || registeredCall_ == call) return;
    if (!registeredCall_.empty()) Send('x', 0, registeredCall_.c_str(), nullptr, nullptr, 0);
    Send('X', 0, call.c_str(), nullptr, nullptr, 0);
    if (IsConnected()) registeredCall_ = call;
}

AgwClient::Link* AgwClient::Find(std::uint16_t handle) {
    if (handle == 0) return nullptr;
    for (auto& l : links_) {
        if (l->Handle == handle) return l.get();
    }
    return nullptr;
}

AgwClient::Link* AgwClient::FindLive(const char* own, const char* remote) {
    Link* best = nullptr;
    for (auto& l : links_) {
        if (l->State == 0 || !SameCall(l->Own, own) || !SameCall(l->Remote, remote)) continue;
        if (best == nullptr || l->Serial < best->Serial) best = l.get();
    }
    return best;
}

AgwClient::Link* AgwClient::NewLink() {
    if (static_cast<int>(links_.size()) >= kAgwMaxLinks) {
        // Forget the oldest dead link, preferring one with nothing left to read.
        auto victim = links_.end();
        for (int pass = 0; pass < 2 && victim == links_.end(); ++pass) {
            for (auto it = links_.begin(); it != links_.end(); ++it) {
                const Link& l = **it;
                if (l.State != 0 || (pass == 0 && (!l.Frames.empty() || !l.Current.empty()))) continue;
                if (victim == links_.end() || l.Serial < (*victim)->Serial) victim = it;
            }
        }
        if (victim == links_.end()) return nullptr;
        links_.erase(victim);
    }
    do {
        ++lastHandle_;
    } while (lastHandle_ == 0 || Find(lastHandle_) != nullptr);
    auto link = std::make_unique<Link>();
    link->Handle = lastHandle_;
    link->Serial = ++serial_;
    link->CreatedAt = NowMs();
    links_.push_back(std::move(link));
    return links_.back().get();
}

void AgwClient::HandleFrame(const AgwFrame& f) {
    if (!IsKnownAgwKind(f.Kind)) {
        SayOnce(Fault::UnknownKind, "frame of an unknown kind ignored");
        return;
    }
    if (f.Kind == 'R') {
        versionSeen_ = 1;
        return;
    }
    if (f.Kind == 'X') {
        if (f.DataLength >= 1 && f.Data[0] == 0) {
            std::fprintf(stderr, "hopwatch: the TNC at %s:%d refused to register the call %s\n",
                         options_.Host.c_str(), options_.TcpPort, f.CallFrom);
        }
        return;
    }
    if (f.Kind != 'C' && f.Kind != 'd' && f.Kind != 'D' && f.Kind != 'Y') return;  // monitoring etc.
    if (f.Port != options_.RadioPort) return;
    if (!f.CallsClean || f.CallFrom[0] == '\0' || f.CallTo[0] == '\0') {
        SayOnce(Fault::BadCall, "frame with an unreadable call ignored");
        return;
    }
    switch (f.Kind) {
        case 'C': {
            // The calls decide: a TNC keeps one link per pair of calls, so a
            // report for the pair of a pending connect of ours is that
            // connect, whichever way the text puts it (both ends may have
            // called at once). The text only tells a stale report of an
            // own connect from a station calling us.
            const char* own = f.CallTo;
            const char* remote = f.CallFrom;
            Link* live = FindLive(own, remote);
            if (live != nullptr && live->State == 2) {
                live->State = kL2Connected;
                return;
            }
            if (live != nullptr) return;  // repeated report
            if (ContainsNoCase(f.Data, f.DataLength, "connected with")) {
                // A connect of ours that nobody waits for any more.
                Send('d', 0, own, remote, nullptr, 0);
                return;
            }
            Link* l = NewLink();
            if (l == nullptr) {
                Send('d', 0, own, remote, nullptr, 0);
                return;
            }
            l->Incoming = 1;
            l->State = kL2Connected;
            l->Own = own;
            l->Remote = remote;
            return;
        }
        case 'd': {
            Link* l = FindLive(f.CallTo, f.CallFrom);
            if (l != nullptr) {
                l->State = 0;
                l->Closing = 0;
                l->DiscSent = 0;
                l->AskPending = 0;
            }
            return;
        }
        case 'D': {
            Link* l = FindLive(f.CallTo, f.CallFrom);
            if (l == nullptr) return;
            std::vector<std::vector<unsigned char>> lines;
            SplitAgwLines(f.Data, f.DataLength, &lines);
            for (auto& line : lines) {
                if (static_cast<int>(l->Frames.size()) >= kAgwMaxQueuedFrames) {
                    SayOnce(Fault::QueueFull, "too many unread lines; further lines dropped");
                    break;
                }
                l->Frames.push_back(std::move(line));
            }
            return;
        }
        case 'Y': {
            Link* l = FindLive(f.CallFrom, f.CallTo);
            if (l == nullptr) l = FindLive(f.CallTo, f.CallFrom);
            if (l == nullptr || !l->AskPending) return;
            if (f.DataLength < 4) {
                SayOnce(Fault::ShortReply, "outstanding-frames reply without a count ignored");
                return;
            }
            const std::uint32_t count = static_cast<std::uint32_t>(f.Data[0]) |
                                        (static_cast<std::uint32_t>(f.Data[1]) << 8) |
                                        (static_cast<std::uint32_t>(f.Data[2]) << 16) |
                                        (static_cast<std::uint32_t>(f.Data[3]) << 24);
            const int tnc = count > 0x7FFFFFFu ? 0x7FFFFFF : static_cast<int>(count);
            l->Outstanding = tnc + l->SentSinceAsk;
            l->AskPending = 0;
            askAnswered_ = 1;
            if (l->Closing && !l->DiscSent && l->Outstanding == 0) SendDisconnect(*l, NowMs());
            return;
        }
        default:
            return;
    }
}

void AgwClient::Ask(Link& l, long long now) {
    l.AskPending = 1;
    l.AskedAt = now;
    l.SentSinceAsk = 0;
    Send('Y', 0, l.Own.c_str(), l.Remote.c_str(), nullptr, 0);
}

void AgwClient::SendDisconnect(Link& l, long long now) {
    l.DiscSent = 1;
    l.ClosingSince = now;
    Send('d', 0, l.Own.c_str(), l.Remote.c_str(), nullptr, 0);
}

void AgwClient::CheckTimeouts(long long now) {
    for (auto& p : links_) {
        Link& l = *p;
        if (l.AskPending && now - l.AskedAt >= options_.OutstandingReplyTimeoutMs) {
            // A TNC that has never answered 'Y' does not know it: from now on
            // transmit space follows the link state alone. One that has
            // answered before only lost this reply (its link may have just
            // gone); the next grant asks again.
            if (!askAnswered_) {
                SayOnce(Fault::NoAskReply, "no answer to the outstanding-frames request; not asking again");
                askSupported_ = 0;
            }
            l.AskPending = 0;
            l.Outstanding = 0;
        }
        if (l.State == 2 && !l.Closing && now - l.CreatedAt >= options_.ConnectTimeoutMs) {
            // A TNC that never reports on a connect would hold the call
            // forever; it counts as failed, and the TNC is told to stop.
            l.State = 0;
            if (IsConnected()) Send('d', 0, l.Own.c_str(), l.Remote.c_str(), nullptr, 0);
            continue;
        }
        if (!l.Closing || l.State == 0) continue;
        if (!l.DiscSent) {
            // Waiting for what was sent to be delivered before 'd'.
            if (!IsConnected()) continue;
            if (!askSupported_ || now - l.ClosingSince >= options_.DisconnectTimeoutMs) {
                SendDisconnect(l, now);
            } else if (!l.AskPending && now - l.AskedAt >= options_.DrainAskIntervalMs) {
                Ask(l, now);
            }
        } else if (now - l.ClosingSince >= options_.DisconnectTimeoutMs) {
            // 'd' never confirmed: the link is given up.
            l.State = 0;
            l.Closing = 0;
            l.DiscSent = 0;
        }
    }
}

std::uint16_t AgwClient::l2_connect(const char* mycall, const char* callPath) {
    Poll();
    char own[kAgwCallBytes + 1];
    const int ownOk = NormaliseAgwCall(mycall, own, sizeof own);
    // The path: destination, then up to kAgwMaxVias digipeaters, separated
    // by blanks (commas and tabs are tolerated).
    char calls[kAgwMaxVias + 1][kAgwCallBytes + 1];
    int count = 0;
    int pathOk = callPath != nullptr;
    for (const char* p = callPath; pathOk && *p != '\0';) {
        while (*p == ' ' || *p == '\t' || *p == ',') ++p;
        if (*p == '\0') break;
        const char* end = p;
        while (*end != '\0' && *end != ' ' && *end != '\t' && *end != ',') ++end;
        const std::string word(p, end);
        if (count > kAgwMaxVias || !NormaliseAgwCall(word.c_str(), calls[count], sizeof calls[count])) {
            pathOk = 0;
        }
        ++count;
        p = end;
    }
    if (count == 0) pathOk = 0;

    Link* l = NewLink();
    if (l == nullptr) return 0;
    if (!ownOk || !pathOk || !IsConnected()) return l->Handle;  // state 0: the connect failed
    if (wantedCall_ != own) wantedCall_ = own;
    Register(wantedCall_);
    l->Own = own;
    l->Remote = calls[0];
    if (count == 1) {
        Send('C', 0, own, calls[0], nullptr, 0);
    } else {
        unsigned char via[1 + kAgwMaxVias * kAgwCallBytes] = {};
        via[0] = static_cast<unsigned char>(count - 1);
        for (int i = 1; i < count; ++i) {
            std::memcpy(via + 1 + (i - 1) * kAgwCallBytes, calls[i], std::strlen(calls[i]));
        }
        Send('v', 0, own, calls[0], via, 1 + static_cast<std::size_t>(count - 1) * kAgwCallBytes);
    }
    if (IsConnected()) l->State = 2;
    return l->Handle;
}

std::uint16_t AgwClient::l2_get_sabm(const char* mycall) {
    Poll();
    char call[kAgwCallBytes + 1];
    if (!NormaliseAgwCall(mycall, call, sizeof call)) {
        // No valid own call: nobody can call us, and an old call stays no
        // longer registered.
        if (!registeredCall_.empty() && IsConnected()) Send('x', 0, registeredCall_.c_str(), nullptr, nullptr, 0);
        registeredCall_.clear();
        wantedCall_.clear();
        return 0;
    }
    if (wantedCall_ != call) wantedCall_ = call;
    Register(wantedCall_);
    std::uint16_t found = 0;
    for (auto& l : links_) {
        if (!l->Incoming || l->Taken || l->State != kL2Connected) continue;
        if (!SameCall(l->Own, call)) {
            // A caller for a call that is not ours (any more): not left hanging.
            l->Taken = 1;
            l->Closing = 1;
            l->ClosingSince = NowMs();
            Send('d', 0, l->Own.c_str(), l->Remote.c_str(), nullptr, 0);
            continue;
        }
        if (found == 0) {
            l->Taken = 1;
            found = l->Handle;
        }
    }
    return found;
}

int AgwClient::l2_stat(int, std::uint16_t handle) {
    Poll();
    const Link* l = Find(handle);
    if (l == nullptr) return 0;
    return l->State | (l->Frames.empty() ? 0 : kL2DataWaiting);
}

const unsigned char* AgwClient::l2_get_i(std::uint16_t handle) {
    Poll();
    Link* l = Find(handle);
    if (l == nullptr) return nullptr;
    l->Current.clear();
    if (l->Frames.empty()) return nullptr;
    l->Current = std::move(l->Frames.front());
    l->Frames.pop_front();
    return l->Current.data();
}

int AgwClient::l2_ialloc(std::uint16_t handle, int) {
    Poll();
    Link* l = Find(handle);
    if (l == nullptr || l->State != kL2Connected || l->Closing || !IsConnected()) return 0;
    if (!askSupported_) return 1;
    if (!l->AskPending) Ask(*l, NowMs());
    return l->Outstanding < kAgwMaxOutstanding ? 1 : 0;
}

void AgwClient::l2_puts(std::uint16_t handle, const char* text) {
    Poll();
    Link* l = Find(handle);
    if (l == nullptr || text == nullptr || l->State != kL2Connected || l->Closing || !IsConnected()) return;
    std::vector<unsigned char> data(text, text + std::strlen(text));
    std::replace(data.begin(), data.end(), static_cast<unsigned char>('\n'), static_cast<unsigned char>('\r'));
    for (std::size_t at = 0; at < data.size() && IsConnected(); at += kAgwSendChunk) {
        const std::size_t n = std::min<std::size_t>(kAgwSendChunk, data.size() - at);
        Send('D', kPidText, l->Own.c_str(), l->Remote.c_str(), data.data() + at, n);
        ++l->Outstanding;
        ++l->SentSinceAsk;
        l->EverSent = 1;
    }
}

void AgwClient::l2_bef(int command, std::uint16_t handle) {
    Poll();
    Link* l = Find(handle);
    if (l == nullptr) return;
    switch (command) {
        case kL2FrameDone:
            l->Current.clear();
            return;
        case kL2Disconnect: {
            if (l->State == 0 || l->Closing) return;
            if (!IsConnected()) {
                l->State = 0;
                return;
            }
            // The link stays up until the TNC confirms. Text sent on it goes
            // out first: 'Y' is asked until nothing is outstanding.
            const long long now = NowMs();
            l->Closing = 1;
            l->ClosingSince = now;
            if (!l->EverSent || !askSupported_) {
                SendDisconnect(*l, now);
            } else if (!l->AskPending) {
                Ask(*l, now);
            }
            return;
        }
        default:
            return;  // 2, 7 and 14 need nothing from the TNC
    }
}

std::unique_ptr<Layer2> CreateAgwClient(const AgwOptions& options) {
    return std::make_unique<AgwClient>(options);
}
