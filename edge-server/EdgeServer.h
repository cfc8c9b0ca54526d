#pragma once

#include "HttpRequest.h"
#include "HttpResponse.h"
#include "UploadStore.h"

#include <QObject>
#include <QString>
#include <QTcpServer>

// The stand-in print service: a management page with an upload form, and a health endpoint,
// on the loopback address only.
class EdgeServer : public QObject
{
    Q_OBJECT

public:
    EdgeServer(quint16 port, QString dataDir, QString version, QObject *parent = nullptr);

    // A Chinese message on failure, empty on success.
    QString listen();

    HttpResponse handle(const HttpRequest &request) const;

private:
    void acceptConnections();
    bool isOwnAuthority(const QByteArray &hostAndPort) const;
    HttpResponse page(const HttpRequest &request) const;
    HttpResponse health() const;
    HttpResponse upload(const HttpRequest &request) const;

    quint16 port_;
    QString version_;
    UploadStore store_;
    QTcpServer server_;
    int openConnections_ = 0;
};
