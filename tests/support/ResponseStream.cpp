#include "ResponseStream.h"

#include <QSslSocket>

namespace {

constexpr qint64 pieceSize = 256 << 10;
constexpr qint64 pendingLimit = 1 << 20;

} // namespace

ResponseStream::ResponseStream(QSslSocket *socket, ScriptedResponse response)
    : QObject(socket)
    , socket_(socket)
    , response_(std::move(response))
{
    if (!response_.bodyFile.isEmpty()) {
        file_.setFileName(response_.bodyFile);
        if (!file_.open(QIODevice::ReadOnly))
            qWarning("LocalHttpsServer cannot read %s", qPrintable(response_.bodyFile));
    }
    if (response_.endless && response_.body.isEmpty())
        response_.body = "x";
    connect(socket_, &QSslSocket::bytesWritten, this, &ResponseStream::pump);
    connect(socket_, &QSslSocket::encryptedBytesWritten, this, &ResponseStream::pump);
    socket_->write(head());
    pump();
}

qint64 ResponseStream::bodyLength() const
{
    return file_.isOpen() ? file_.size() : response_.body.size();
}

QByteArray ResponseStream::head() const
{
    QByteArray text = "HTTP/1.1 " + QByteArray::number(response_.status) + " Scripted\r\n";
    for (const auto &[name, value] : response_.headers)
        text += name + ": " + value + "\r\n";
    if (!response_.endless)
        text += "Content-Length: " + QByteArray::number(response_.announcedLength.value_or(bodyLength())) + "\r\n";
    return text + "Connection: close\r\n\r\n";
}

QByteArray ResponseStream::nextPiece()
{
    if (file_.isOpen())
        return file_.read(pieceSize);
    if (response_.endless) {
        QByteArray piece;
        while (piece.size() < pieceSize)
            piece += response_.body;
        return piece;
    }
    const QByteArray piece = response_.body.mid(offset_, pieceSize);
    offset_ += piece.size();
    return piece;
}

void ResponseStream::pump()
{
    while (!finished_ && socket_->bytesToWrite() + socket_->encryptedBytesToWrite() < pendingLimit) {
        const QByteArray piece = nextPiece();
        if (piece.isEmpty()) {
            finished_ = true;
            socket_->disconnectFromHost();
            return;
        }
        socket_->write(piece);
    }
}
