#pragma once

#include "HttpRequestReader.h"
#include "HttpResponse.h"

#include <QObject>
#include <QTimer>

#include <functional>

class QTcpSocket;

// One client connection: reads a single request, answers it and closes. Owned by its socket.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<HttpResponse(const HttpRequest &)>;

    static constexpr qsizetype maxHeaderBytes = 16 * 1024;
    static constexpr qsizetype maxBodyBytes = 32 * 1024 * 1024;

    HttpConnection(QTcpSocket *socket, Handler handler);

private:
    void readAvailable();
    void answer(const HttpResponse &response, bool withBody);

    QTcpSocket *socket_;
    Handler handler_;
    HttpRequestReader reader_;
    QTimer deadline_;
    bool answered_ = false;
};
