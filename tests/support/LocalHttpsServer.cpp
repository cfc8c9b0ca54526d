#include "LocalHttpsServer.h"

#include "ResponseStream.h"

#include <QHostAddress>
#include <QSslSocket>

namespace {

constexpr qsizetype requestHeadLimit = 64 << 10;

RecordedRequest parseRequestHead(const QByteArray &head)
{
    RecordedRequest request;
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return request;
}

} // namespace

ScriptedResponse ScriptedResponse::ok(QByteArray body)
{
    return withStatus(200, std::move(body));
}

ScriptedResponse ScriptedResponse::withStatus(int status, QByteArray body)
{
    ScriptedResponse response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

ScriptedResponse ScriptedResponse::redirect(const QUrl &location, int status)
{
    ScriptedResponse response = withStatus(status);
    response.headers.append({"Location", location.toEncoded()});
    return response;
}

QUrl RecordedRequest::url() const
{
    return QUrl::fromEncoded(target);
}

QByteArray RecordedRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

LocalHttpsServer::LocalHttpsServer(const TestCertificate &certificate, QObject *parent)
    : QObject(parent)
{
    server_.setSslConfiguration(certificate.serverConfiguration());
    connect(&server_, &QTcpServer::pendingConnectionAvailable, this, &LocalHttpsServer::accept);
    server_.listen(QHostAddress::LocalHost, 0);
}

LocalHttpsServer::~LocalHttpsServer() = default;

QUrl LocalHttpsServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(port()).arg(path));
}

void LocalHttpsServer::route(const QString &path, ScriptedResponse response)
{
    routes_.insert(path, std::move(response));
}

void LocalHttpsServer::accept()
{
    while (QTcpSocket *next = server_.nextPendingConnection()) {
        auto *socket = static_cast<QSslSocket *>(next);
        connect(socket, &QSslSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QSslSocket::readyRead, this, [this, socket] { readRequest(socket); });
        readRequest(socket);
    }
}

void LocalHttpsServer::readRequest(QSslSocket *socket)
{
    // Requests carry no body here, so the head is all there is to read.
    QByteArray head = socket->property("requestHead").toByteArray() + socket->readAll();
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("requestHead", head);
        if (head.size() > requestHeadLimit)
            socket->abort();
        return;
    }
    disconnect(socket, &QSslSocket::readyRead, this, nullptr);

    RecordedRequest request = parseRequestHead(head.left(end));
    const QString path = request.url().path();
    requests_.append(std::move(request));
    respond(socket, routes_.value(path, ScriptedResponse::withStatus(404, "not found")));
}

void LocalHttpsServer::respond(QSslSocket *socket, const ScriptedResponse &response)
{
    new ResponseStream(socket, response);
}
