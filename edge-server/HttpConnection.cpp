#include "HttpConnection.h"

#include <QTcpSocket>

namespace {

// Long enough for a large upload over loopback, short enough that idle clients are dropped.
constexpr int requestDeadlineMs = 60 * 1000;

} // namespace

HttpConnection::HttpConnection(QTcpSocket *socket, Handler handler)
    : QObject(socket), socket_(socket), handler_(std::move(handler)),
      reader_(maxHeaderBytes, maxBodyBytes)
{
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        if (!answered_)
            answer(HttpResponse::text(408, QStringLiteral("请求超时")), true);
    });
    deadline_.start(requestDeadlineMs);
    connect(socket_, &QTcpSocket::readyRead, this, &HttpConnection::readAvailable);
    connect(socket_, &QTcpSocket::disconnected, socket_, &QObject::deleteLater);
    readAvailable();
}

void HttpConnection::readAvailable()
{
    if (answered_) {
        socket_->readAll();
        return;
    }
    switch (reader_.feed(socket_->readAll())) {
    case HttpRequestReader::State::incomplete:
        return;
    case HttpRequestReader::State::failed:
        answer(HttpResponse::text(reader_.failureStatus(), QStringLiteral("请求无效")), true);
        return;
    case HttpRequestReader::State::complete:
        answer(handler_(reader_.request()), reader_.request().method != "HEAD");
        return;
    }
}

void HttpConnection::answer(const HttpResponse &response, bool withBody)
{
    answered_ = true;
    deadline_.stop();
    socket_->write(response.serialize(withBody));
    socket_->disconnectFromHost();
    // A client that never reads its answer must not hold the connection forever.
    QTimer::singleShot(requestDeadlineMs, socket_, [socket = socket_] { socket->abort(); });
}
