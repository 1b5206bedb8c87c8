#include "ui/metrics_server.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include "view/web_pages.h"

namespace {
constexpr const char* kHttp10Property = "hopwatchHttp10";
}  // namespace

// Accepts the connections and looks at the request line of each request
// before the HTTP server parses it: the server does not tell a request's
// HTTP version, which decides whether the connection stays open.
class PeekingTcpServer final : public QTcpServer {
public:
    // Bytes of answers written but not yet taken by the clients.
    long long pendingBytes() {
        long long total = 0;
        std::erase_if(sockets_, [](const QPointer<QTcpSocket>& s) { return s.isNull(); });
        for (const QPointer<QTcpSocket>& s : sockets_) total += s->bytesToWrite();
        return total;
    }

protected:
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        auto* idle = new QTimer(socket);
        idle->setSingleShot(true);
        idle->start(kIdleCloseMs);
        connect(idle, &QTimer::timeout, socket, &QTcpSocket::abort);
        // Connected before the server's own handler, so it runs first.
        connect(socket, &QTcpSocket::readyRead, socket, [socket, idle] {
            idle->start(kIdleCloseMs);
            const QByteArray start = socket->peek(512);
            const qsizetype end = start.indexOf("\r\n");
            if (end > 0) socket->setProperty(kHttp10Property, start.left(end).endsWith(" HTTP/1.0"));
        });
        sockets_.emplace_back(socket);
        addPendingConnection(socket);
    }

private:
    std::vector<QPointer<QTcpSocket>> sockets_;
};

namespace {

QByteArray HeaderValue(const QHttpServerRequest& request, const char* name) {
    const auto headers = request.headers();
    for (const auto& header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0) return header.second.toLower();
    }
    return {};
}

class PageServer final : public QAbstractHttpServer {
public:
    using Answer = std::function<void(const QHttpServerRequest&, QTcpSocket*)>;
    explicit PageServer(Answer answer) : answer_(std::move(answer)) {}

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        answer_(request, socket);
        return true;
    }
    void missingHandler(const QHttpServerRequest&, QTcpSocket*) override {}

public:
    static QHttpServerResponder Responder(const QHttpServerRequest& request, QTcpSocket* socket) {
        return makeResponder(request, socket);
    }

private:
    Answer answer_;
};

}  // namespace

MetricsServer::MetricsServer(ShellSession& session, AppState& state)
    : session_(session),
      state_(state),
      scratch_(std::make_unique<WebScratch>()),
      answer_(std::make_unique<WebAnswer>()) {
    server_ = std::make_unique<PageServer>([this](const QHttpServerRequest& request, QTcpSocket* socket) {
        const auto method = request.method();
        const int head = method == QHttpServerRequest::Method::Head;
        WebAnswer& answer = *answer_;
        if (method != QHttpServerRequest::Method::Get && !head) {
            answer.Status = 405;
            answer.ContentType = "text/plain; charset=utf-8";
            answer.Body = "only GET and HEAD\n";
        } else if (tcp_ != nullptr && tcp_->pendingBytes() > kPendingReplyMax) {
            answer.Status = 503;
            answer.ContentType = "text/plain; charset=utf-8";
            answer.Body = "busy, try again\n";
        } else {
            const QByteArray target = request.url().toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
            const WebInputs inputs{static_cast<long long>(std::time(nullptr)),
                                   MetricsInputs{static_cast<long long>(std::time(nullptr)),
                                                 session_.StartTime, ActiveLayer2(session_).health()}};
            AnswerWebRequest(state_, *scratch_, inputs, target.constData(),
                             static_cast<std::size_t>(target.size()), answer);
        }
        const QByteArray connection = HeaderValue(request, "Connection");
        const bool http10 = socket->property(kHttp10Property).toBool();
        const bool close = connection.contains("close") || (http10 && !connection.contains("keep-alive"));
        // Written by hand: Qt would send the body after HEAD too, which
        // breaks the next request on a kept-alive connection.
        QHttpServerResponder responder = PageServer::Responder(request, socket);
        responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(answer.Status));
        responder.writeHeader("Content-Type", answer.ContentType);
        responder.writeHeader("Content-Length",
                              QByteArray::number(static_cast<qulonglong>(answer.Body.size())));
        if (close) responder.writeHeader("Connection", "close");
        if (answer.Status == 405) responder.writeHeader("Allow", "GET, HEAD");
        if (answer.Status == 503) responder.writeHeader("Retry-After", "5");
        responder.writeBody(answer.Body.data(), head ? 0 : static_cast<qint64>(answer.Body.size()));
        TrimWebAnswer(answer);
        if (close) socket->disconnectFromHost();
    });
}

MetricsServer::~MetricsServer() {
    server_.reset();
    if (scratch_) ReleaseWebScratch(*scratch_);
}

int MetricsServer::start() {
    char address[kMetricsListenSize];
    int port = 0;
    QHostAddress host;
    if (!ParseMetricsListen(session_.MetricsListen, address, sizeof address, &port) ||
        !host.setAddress(QString::fromLatin1(address))) {
        std::fprintf(stderr,
                     "hopwatch: the metrics address \"%s\" is not [ADDRESS:]PORT; no metrics served\n",
                     session_.MetricsListen);
        return 0;
    }
    if (!ReserveWebScratch(*scratch_)) {
        std::fprintf(stderr, "hopwatch: no memory for the web pages; no metrics served\n");
        return 0;
    }
    auto* tcp = new PeekingTcpServer;
    tcp_ = tcp;
    if (!tcp->listen(host, static_cast<quint16>(port))) {
        tcp_ = nullptr;
        delete tcp;
        std::fprintf(stderr,
                     "hopwatch: cannot listen on %s for metrics (in use or not allowed); no metrics "
                     "served\n",
                     session_.MetricsListen);
        return 0;
    }
    tcp->setParent(server_.get());
    server_->bind(tcp);
    return 1;
}

std::unique_ptr<MetricsServer> StartMetricsServer(ShellSession& session, AppState& state) {
    if (session.MetricsListen[0] == '\0') return nullptr;
    auto server = std::make_unique<MetricsServer>(session, state);
    if (!server->start()) return nullptr;
    return server;
}
