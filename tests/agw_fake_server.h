// An in-process AGWPE TNC for the client tests: a non-blocking TCP listener
// on 127.0.0.1 that the test pumps. It answers the version request and
// registrations by itself, keeps every frame it receives as text, and sends
// what the test scripts. It speaks through the project's own codec, whose
// bytes the acquisition tests pin.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "radio/agw_connection.h"
#include "radio/agw_frame.h"

struct FakeAgwServer {
    // "[PORT:]KIND FROM>TO DATA" of each frame received, the port when not 0
    // and the protocol id of a data frame when it is not text (F0).
    std::vector<std::string> Frames;
    int AnswerVersion = 1;
    int Port = 0;      // where it listens
    int Accepted = 0;  // connections taken so far

    FakeAgwServer() { Listen(0); }
    ~FakeAgwServer() { Vanish(), StopListening(); }
    void Listen(int port) {
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        const int one = 1;
        setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<unsigned short>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(listen_, reinterpret_cast<sockaddr*>(&a), len) == 0 && listen(listen_, 4) == 0 &&
            getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
            Port = ntohs(a.sin_port);
        }
    }
    void StopListening() {
        if (listen_ >= 0) close(listen_);
        listen_ = -1;
    }
    // Closes the client's connection, as a TNC that goes away.
    void Vanish() {
        if (client_ >= 0) close(client_);
        client_ = -1;
        in_.clear();
    }
    // Accepts, reads and answers whatever is there; never blocks. Without
    // Nagle's delay every frame sent is at the client's socket at once.
    void Pump() {
        if (client_ < 0 && listen_ >= 0 &&
            (client_ = accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK)) >= 0) {
            const int one = 1;
            setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            ++Accepted;
        }
        if (client_ < 0) return;
        unsigned char buf[4096];
        ssize_t n;
        while ((n = recv(client_, buf, sizeof buf, 0)) > 0) in_.insert(in_.end(), buf, buf + n);
        if (n == 0) return Vanish();
        std::size_t off = 0, used = 0;
        AgwFrame f{};
        while (DecodeAgwFrame(in_.data() + off, in_.size() - off, &f, &used) == kAgwFrameReady) {
            off += used;
            const std::string data(reinterpret_cast<const char*>(f.Data), f.DataLength);
            Frames.push_back((f.Port ? std::to_string(f.Port) + ":" : "") + f.Kind +
                             (f.Kind == 'D' && f.Pid != 0xF0 ? "/" + std::to_string(f.Pid) : "") + " " +
                             f.CallFrom + ">" + f.CallTo + (data.empty() ? "" : " " + data));
            if (f.Kind == 'R' && AnswerVersion) Send('R', "", "", std::string("\xD5\x07\0\0\x7F\0\0\0", 8));
            if (f.Kind == 'X') Send('X', f.CallFrom, "", "\x01", f.Port);
        }
        in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(off));
    }
    void Send(char kind, const char* from, const char* to, const std::string& data, int port = 0) {
        std::vector<unsigned char> out;
        EncodeAgwFrame(port, kind, kind == 'D' ? 0xF0 : 0, from, to,
                       reinterpret_cast<const unsigned char*>(data.data()), data.size(), &out);
        SendBytes(out);
    }
    void SendBytes(const std::vector<unsigned char>& bytes) {
        if (client_ >= 0) (void)send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    // The frames received since the last look.
    std::vector<std::string> Take() { return std::exchange(Frames, {}); }

    int listen_ = -1, client_ = -1;
    std::vector<unsigned char> in_;
};

// A clock that moves only when told, and serves the fake TNC on every
// reading while Tnc is set: ax_init's wait then sees the answers at once.
struct FakeAgwClock final : AgwClock {
    long long Now = 1000000000;
    FakeAgwServer* Tnc = nullptr;
    long long NowMs() override { return Tnc != nullptr ? (Tnc->Pump(), Now) : Now; }
};
