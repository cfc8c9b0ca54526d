#pragma once

#include "HttpRequest.h"

#include <QByteArray>

// Reads one HTTP/1.x request from bytes as they arrive. Bounded: a client cannot make it hold
// more than maxHeaderBytes of head plus maxBodyBytes of body.
class HttpRequestReader
{
public:
    enum class State { incomplete, complete, failed };

    HttpRequestReader(qsizetype maxHeaderBytes, qsizetype maxBodyBytes);

    State feed(const QByteArray &bytes);
    State state() const { return state_; }

    const HttpRequest &request() const { return request_; }
    // The status to answer a failed request with (400, 413, 431, 501 or 505).
    int failureStatus() const { return failureStatus_; }

private:
    State fail(int status);
    State parseHead(QByteArrayView head);

    qsizetype maxHeaderBytes_;
    qsizetype maxBodyBytes_;
    State state_ = State::incomplete;
    int failureStatus_ = 0;
    bool headDone_ = false;
    qsizetype contentLength_ = 0;
    QByteArray buffer_;
    HttpRequest request_;
};
