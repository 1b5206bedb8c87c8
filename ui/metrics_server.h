// The program's HTTP listener: /metrics for Prometheus and the web pages of
// the diagrams (view/web_pages.h), on the program's one thread. Read-only:
// GET and HEAD of fixed routes, every other method 405, nothing can be
// changed through it. It listens only where the operator said (--metrics or
// [Metrics] Listen), 127.0.0.1 unless an address is named. The core builds
// every byte of an answer; this shell only moves them.
//
// A request with "Connection: close", or an HTTP/1.0 request without
// keep-alive, has its connection closed after the answer; a connection
// that sends nothing for kIdleCloseMs is closed, so half-open clients cannot
// pile up. While slow readers leave more than kPendingReplyMax bytes of
// answers unsent, new requests get 503, so memory stays bounded.
//
// Threading: GUI thread only.
#pragma once

#include <memory>

#include "app/session.h"
#include "core/app_state.h"

constexpr int kIdleCloseMs = 30000;
constexpr long long kPendingReplyMax = 64LL << 20;

class QAbstractHttpServer;
class PeekingTcpServer;
struct WebScratch;
struct WebAnswer;

class MetricsServer {
public:
    MetricsServer(ShellSession& session, AppState& state);
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Listens where session.MetricsListen says; 0 with a line on standard
    // error when it cannot (the program runs on without the endpoint).
    int start();

private:
    ShellSession& session_;
    AppState& state_;
    std::unique_ptr<WebScratch> scratch_;  // the pages' own view and plan, reserved once
    std::unique_ptr<WebAnswer> answer_;    // kept between requests so that its buffer is reused
    std::unique_ptr<QAbstractHttpServer> server_;
    PeekingTcpServer* tcp_ = nullptr;  // owned by server_
};

// The endpoint when the session asks for one, else null.
std::unique_ptr<MetricsServer> StartMetricsServer(ShellSession& session, AppState& state);
