// Plain HTTP over 127.0.0.1 for tests that talk to a served endpoint: a free
// port, a connection, one request and its whole response.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

// A port nobody listens on right now.
inline int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    close(fd);
    return ntohs(a.sin_port);
}

// A connected socket with a receive time limit, or -1.
inline int ConnectLoopback(int port, int timeoutMs = 5000) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

inline int SendAll(int fd, const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t n = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return 0;
        at += static_cast<std::size_t>(n);
    }
    return 1;
}

// One keep-alive request on an open connection; the body, or "" on a
// failure or a status other than 200.
inline std::string HttpRequest(int fd, const std::string& path) {
    if (!SendAll(fd, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")) return "";
    std::string in;
    char buffer[65536];
    std::size_t headerEnd = std::string::npos, length = 0;
    while (headerEnd == std::string::npos || in.size() < headerEnd + 4 + length) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return "";
        in.append(buffer, static_cast<std::size_t>(n));
        if (headerEnd == std::string::npos && (headerEnd = in.find("\r\n\r\n")) != std::string::npos) {
            const std::size_t at = in.find("Content-Length: ");
            if (at == std::string::npos || at > headerEnd) return "";
            length = std::stoul(in.substr(at + 16));
        }
    }
    return in.compare(0, 12, "HTTP/1.1 200") == 0 ? in.substr(headerEnd + 4, length) : "";
}

// One HTTP/1.0 request read to the end of the connection (no chunks); the
// body, or "" unless the status is 200.
inline std::string HttpGet(int port, const std::string& path) {
    const int fd = ConnectLoopback(port);
    if (fd < 0) return "";
    std::string in;
    if (SendAll(fd, "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n")) {
        char buffer[65536];
        for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;)
            in.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    const std::size_t end = in.find("\r\n\r\n");
    return in.size() > 13 && in.compare(8, 5, " 200 ") == 0 && end != std::string::npos ? in.substr(end + 4)
                                                                                        : "";
}

// Query-string encoding of a text.
inline std::string UrlEncode(const std::string& text) {
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || c == '_' || c == '.') {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}
