#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The boundary of a "multipart/form-data" content type, or nothing for any other type.
std::optional<QByteArray> multipartBoundary(QByteArrayView contentType);

struct MultipartFile
{
    QByteArray fileName; // as the client sent it (normally UTF-8)
    QByteArray content;
};

// The first part of the form that carries a file; nothing when the body is malformed or holds
// no file part. A file part with an empty name (no file chosen) is returned as it is.
std::optional<MultipartFile> firstMultipartFile(const QByteArray &body, const QByteArray &boundary);
