// The metrics endpoint: Qt's HTTP server on the program's one thread,
// answering GET and HEAD of /metrics with the exposition text the core
// builds (view/metrics_text.h); every other path or method gets 404, and
// nothing can be changed through it. It listens only where the operator
// said (--metrics or [Metrics] Listen), 127.0.0.1 unless an address is named.
//
// Threading: GUI thread only.
#pragma once

#include <memory>
#include <string>

#include "app/session.h"
#include "core/app_state.h"

class QHttpServer;

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
    std::unique_ptr<QHttpServer> server_;
    std::string text_;  // kept between scrapes so that its buffer is reused
};

// The endpoint when the session asks for one, else null.
std::unique_ptr<MetricsServer> StartMetricsServer(ShellSession& session, AppState& state);
