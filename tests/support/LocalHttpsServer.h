#pragma once

#include "TestCertificate.h"

#include <QHash>
#include <QList>
#include <QUrl>

#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace httplib { class SSLServer; }

// What the server answers on one path.
struct ScriptedResponse
{
    int status = 200;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // Streamed in place of body when set, so large answers need no memory.
    QString bodyFile;
    // Content-Length announced instead of the body's: more than is sent makes a truncated answer.
    std::optional<qint64> announcedLength;
    // Repeats body without end and without Content-Length, until the client hangs up.
    bool endless = false;

    ScriptedResponse(int status = 200, QByteArray body = {}, QList<std::pair<QByteArray, QByteArray>> headers = {})
        : status(status), headers(std::move(headers)), body(std::move(body)) {}
    static ScriptedResponse ok(QByteArray body) { return {200, std::move(body)}; }
    static ScriptedResponse withStatus(int status, QByteArray body = {}) { return {status, std::move(body)}; }
    static ScriptedResponse redirect(const QUrl &location, int status = 302)
    {
        return {status, {}, {{"Location", location.toEncoded()}}};
    }
};

// One request as the server received it.
struct RecordedRequest
{
    QByteArray method;
    QByteArray target; // path and query, as sent
    QHash<QByteArray, QByteArray> headers; // by names in lower case

    QUrl url() const { return QUrl::fromEncoded(target); } // path() and query() are the request's
    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
};

// An HTTPS server on 127.0.0.1 (any free port) that answers from scripted routes on threads of
// its own and records every request. Unknown paths answer 404. Each answer closes its connection.
class LocalHttpsServer
{
public:
    explicit LocalHttpsServer(const TestCertificate &certificate);
    ~LocalHttpsServer();

    bool isListening() const { return port_ > 0; }
    QUrl url(const QString &path) const { return QUrl(QStringLiteral("https://127.0.0.1:%1%2").arg(port_).arg(path)); }

    // Answers requests for path (ignoring the query) with response from now on.
    void route(const QString &path, ScriptedResponse response);
    // Every request so far; the list stays as it is until the next call.
    const QList<RecordedRequest> &requests() const;

private:
    std::unique_ptr<httplib::SSLServer> server_;
    int port_ = -1;
    std::thread thread_;
    mutable std::mutex mutex_; // guards what the server's threads share with the test
    QHash<QString, ScriptedResponse> routes_;
    QList<RecordedRequest> requests_;
    mutable QList<RecordedRequest> requestsSeen_;
};
