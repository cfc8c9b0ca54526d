#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>

struct HttpRequest
{
    QByteArray method;
    QByteArray path;   // the target up to '?'
    QByteArray query;  // after '?', without it
    QList<QPair<QByteArray, QByteArray>> headers; // names in lower case, values trimmed
    QByteArray body;

    bool hasHeader(QByteArrayView lowerName) const;
    // The first value of the header, or empty.
    QByteArray header(QByteArrayView lowerName) const;
};
