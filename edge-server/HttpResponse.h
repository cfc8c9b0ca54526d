#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

struct HttpResponse
{
    int status = 200;
    QByteArray contentType = "text/html; charset=utf-8";
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;

    // A short Chinese text page, for errors.
    static HttpResponse text(int status, const QString &message);

    // Every answer closes the connection, so a client cannot keep a slot open by pipelining.
    QByteArray serialize(bool withBody) const;
};
