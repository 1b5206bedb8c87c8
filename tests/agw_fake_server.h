// An in-process AGWPE server for the AGW client tests: a real TCP listener
// on 127.0.0.1, non-blocking, pumped by the test. It answers the version
// request and registrations by itself, records every frame it receives,
// and sends whatever the test scripts.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/agw_frame.h"

// An IPv4 socket address; host in host byte order (INADDR_LOOPBACK, INADDR_ANY).
inline sockaddr_in Ipv4Address(in_addr_t host, int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(host);
    a.sin_port = htons(static_cast<unsigned short>(port));
    return a;
}

struct ReceivedAgwFrame {
    int Port;
    char Kind;
    int Pid;
    std::string From;
    std::string To;
    std::string Data;
};

class FakeAgwServer {
public:
    // Listens on the given port, or on a free one when 0.
    explicit FakeAgwServer(int port = 0) { Listen(port); }
    ~FakeAgwServer() {
        Vanish();
        StopListening();
    }

    int Port() const { return port_; }

    void Listen(int port) {
        listen_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        int one = 1;
        setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a = Ipv4Address(INADDR_LOOPBACK, port);
        if (bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listen_, 4) != 0) {
            close(listen_);
            listen_ = -1;
            return;
        }
        socklen_t len = sizeof a;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    void StopListening() {
        if (listen_ >= 0) close(listen_);
        listen_ = -1;
    }
    // Closes the client connection, as a TNC that goes away.
    void Vanish() {
        if (client_ >= 0) close(client_);
        client_ = -1;
        in_.clear();
    }
    int Accepted() const { return accepted_; }

    // Accepts, reads and answers whatever is there; never blocks.
    void Pump() {
        if (client_ < 0 && listen_ >= 0) {
            const int fd = accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK);
            if (fd >= 0) {
                client_ = fd;
                ++accepted_;
            }
        }
        if (client_ < 0) return;
        unsigned char buf[4096];
        for (;;) {
            const ssize_t n = recv(client_, buf, sizeof buf, 0);
            if (n == 0) {
                Vanish();
                return;
            }
            if (n < 0) break;
            in_.insert(in_.end(), buf, buf + n);
        }
        std::size_t off = 0;
        AgwFrame f{};
        std::size_t used = 0;
        while (DecodeAgwFrame(in_.data() + off, in_.size() - off, &f, &used) == kAgwFrameReady) {
            ReceivedAgwFrame r{f.Port, f.Kind, f.Pid, f.CallFrom, f.CallTo,
                               std::string(reinterpret_cast<const char*>(f.Data), f.DataLength)};
            off += used;
            Frames.push_back(r);
            if (r.Kind == 'R' && AnswerVersion) {
                const unsigned char v[8] = {0xD5, 0x07, 0, 0, 0x7F, 0, 0, 0};
                SendRaw('R', "", "", v, 8, 0);
            } else if (r.Kind == 'X') {
                const unsigned char ok = 1;
                SendRaw('X', r.From.c_str(), "", &ok, 1, r.Port);
            }
        }
        in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(off));
    }

    void Send(char kind, const char* from, const char* to, const std::string& data, int port = 0) {
        SendRaw(kind, from, to, reinterpret_cast<const unsigned char*>(data.data()), data.size(), port);
    }
    void SendRaw(char kind, const char* from, const char* to, const unsigned char* data, std::size_t size,
                 int port = 0) {
        std::vector<unsigned char> out;
        EncodeAgwFrame(port, kind, kind == 'D' ? 0xF0 : 0, from, to, data, size, &out);
        SendBytes(out);
    }
    void SendBytes(const std::vector<unsigned char>& bytes) {
        if (client_ < 0) return;
        (void)send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }

    // Frames of one kind received so far.
    std::vector<ReceivedAgwFrame> Of(char kind) const {
        std::vector<ReceivedAgwFrame> r;
        for (const auto& f : Frames) {
            if (f.Kind == kind) r.push_back(f);
        }
        return r;
    }

    // "FROM>TO" of each frame of one kind received so far.
    std::vector<std::string> Pairs(char kind) const {
        std::vector<std::string> r;
        for (const auto& f : Of(kind)) r.push_back(f.From + ">" + f.To);
        return r;
    }

    std::vector<ReceivedAgwFrame> Frames;
    int AnswerVersion = 1;

private:
    int listen_ = -1;
    int client_ = -1;
    int port_ = 0;
    int accepted_ = 0;
    std::vector<unsigned char> in_;
};

// Runs the server's pump on a helper thread while a blocking call (ax_init)
// runs on the test's thread.
template <typename Call>
auto WithServerPumping(FakeAgwServer& server, Call call) {
    std::atomic<bool> done{false};
    std::thread pump([&] {
        while (!done) {
            server.Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    auto result = call();
    done = true;
    pump.join();
    return result;
}
