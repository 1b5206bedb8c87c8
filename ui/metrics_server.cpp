#include "ui/metrics_server.h"

#include <QHostAddress>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>
#include <cstdio>
#include <ctime>

#include "view/metrics_text.h"

MetricsServer::MetricsServer(ShellSession& session, AppState& state)
    : session_(session), state_(state), server_(std::make_unique<QHttpServer>()) {}

MetricsServer::~MetricsServer() = default;

int MetricsServer::start() {
    char address[kMetricsListenMax];
    int port = 0;
    QHostAddress host;
    if (!ParseMetricsListen(session_.MetricsListen, address, sizeof address, &port) ||
        !host.setAddress(QString::fromLatin1(address))) {
        std::fprintf(stderr,
                     "hopwatch: the metrics address \"%s\" is not [ADDRESS:]PORT; no metrics served\n",
                     session_.MetricsListen);
        return 0;
    }
    server_->route(QString::fromLatin1(kMetricsPath),
                   QHttpServerRequest::Method::Get | QHttpServerRequest::Method::Head,
                   [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
                       const MetricsInputs inputs{static_cast<long long>(std::time(nullptr)),
                                                  session_.StartTime, ActiveLayer2(session_).health()};
                       BuildMetricsText(state_, inputs, text_);
                       // Written by hand: Qt would send the body after HEAD too,
                       // which breaks the next request on a kept-alive connection.
                       responder.writeStatusLine();
                       responder.writeHeader("Content-Type", kMetricsContentType);
                       responder.writeHeader("Content-Length",
                                             QByteArray::number(static_cast<qulonglong>(text_.size())));
                       const int head = request.method() == QHttpServerRequest::Method::Head;
                       responder.writeBody(text_.data(), head ? 0 : static_cast<qint64>(text_.size()));
                   });
    if (server_->listen(host, static_cast<quint16>(port)) == 0) {
        std::fprintf(stderr,
                     "hopwatch: cannot listen on %s for metrics (in use or not allowed); no metrics "
                     "served\n",
                     session_.MetricsListen);
        return 0;
    }
    return 1;
}

std::unique_ptr<MetricsServer> StartMetricsServer(ShellSession& session, AppState& state) {
    if (session.MetricsListen[0] == '\0') return nullptr;
    auto server = std::make_unique<MetricsServer>(session, state);
    if (!server->start()) return nullptr;
    return server;
}
