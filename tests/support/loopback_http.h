// HTTP/1.1 over 127.0.0.1 for tests that talk to a served endpoint.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>

inline sockaddr_in Loopback(int port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    return a;
}

// A port nobody listens on right now.
inline int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(0);
    socklen_t size = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), size);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    close(fd);
    return ntohs(a.sin_port);
}

// A connected socket with a five-second receive limit, or -1.
inline int ConnectLoopback(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const timeval tv{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    const sockaddr_in a = Loopback(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0) return fd;
    close(fd);
    return -1;
}

// One request on an open keep-alive connection (or a fresh one, fd -1,
// closed after); the body, or "" on a failure or a status other than 200.
inline std::string HttpRequest(int fd, int port, const std::string& path) {
    const int own = fd < 0 ? (fd = ConnectLoopback(port)) : -1;
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    std::string in;
    std::size_t end = std::string::npos, length = 0;
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        char buffer[65536];
        for (ssize_t n; (end == std::string::npos || in.size() < end + 4 + length) &&
                        (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            in.append(buffer, static_cast<std::size_t>(n));
            if (end == std::string::npos && (end = in.find("\r\n\r\n")) != std::string::npos) {
                const std::size_t at = in.find("Content-Length: ");
                length = at < end ? std::stoul(in.substr(at + 16)) : 0;
            }
        }
    }
    if (own >= 0) close(own);
    const bool ok = end != std::string::npos && in.size() >= end + 4 + length && in.find(" 200 ") == 8;
    return ok ? in.substr(end + 4, length) : "";
}
