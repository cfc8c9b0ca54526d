#pragma once

#include "TestCertificate.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSslServer>
#include <QString>
#include <QUrl>

#include <optional>
#include <utility>

class QSslSocket;

// What the server answers on one path.
struct ScriptedResponse
{
    int status = 200;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // Streamed in place of body when set, so large answers need no memory.
    QString bodyFile;
    // Content-Length to announce; defaults to the real length. Announcing more than is sent
    // makes a truncated answer (the connection closes after the body).
    std::optional<qint64> announcedLength;
    // Repeats body without end and without Content-Length, until the client hangs up.
    bool endless = false;

    static ScriptedResponse ok(QByteArray body);
    static ScriptedResponse withStatus(int status, QByteArray body = {});
    static ScriptedResponse redirect(const QUrl &location, int status = 302);
};

// One request as the server received it.
struct RecordedRequest
{
    QByteArray method;
    QByteArray target; // path and query, as sent
    QList<std::pair<QByteArray, QByteArray>> headers;

    QUrl url() const; // target as a relative URL: path() and query() are the request's
    // First value of the header, matched without regard to case; empty when absent.
    QByteArray header(const QByteArray &name) const;
};

// An HTTPS server on 127.0.0.1 (any free port) that answers from scripted routes and records
// every request. Unknown paths answer 404. Each answer closes its connection.
class LocalHttpsServer : public QObject
{
    Q_OBJECT

public:
    explicit LocalHttpsServer(const TestCertificate &certificate, QObject *parent = nullptr);
    ~LocalHttpsServer() override;

    bool isListening() const { return server_.isListening(); }
    quint16 port() const { return server_.serverPort(); }
    // https://127.0.0.1:<port><path>
    QUrl url(const QString &path) const;

    // Answers requests for path (ignoring the query) with response from now on.
    void route(const QString &path, ScriptedResponse response);
    const QList<RecordedRequest> &requests() const { return requests_; }

private:
    void accept();
    void readRequest(QSslSocket *socket);
    void respond(QSslSocket *socket, const ScriptedResponse &response);

    QSslServer server_;
    QHash<QString, ScriptedResponse> routes_;
    QList<RecordedRequest> requests_;
};
