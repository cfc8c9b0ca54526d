#pragma once

#include "LocalHttpsServer.h"

#include <QFile>
#include <QObject>

class QSslSocket;

// Writes one scripted answer to a connection piece by piece as the connection drains, so large
// and endless bodies take little memory, then closes the connection. Lives as the socket's child.
class ResponseStream : public QObject
{
    Q_OBJECT

public:
    ResponseStream(QSslSocket *socket, ScriptedResponse response);

private:
    QByteArray head() const;
    qint64 bodyLength() const;
    QByteArray nextPiece();
    void pump();

    QSslSocket *socket_;
    ScriptedResponse response_;
    QFile file_;
    qint64 offset_ = 0;
    bool finished_ = false;
};
