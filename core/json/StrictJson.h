#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <optional>

// The one reader of JSON texts the manager decodes (installer status records and event lines,
// release manifests). It holds to RFC 8259, where Qt's own reader is laxer: no raw control
// characters in strings, no NUL byte anywhere, no unknown escapes or unpaired surrogates,
// numbers only by the grammar. String values keep every character, a leading U+FEFF too.
//
// A number becomes an integer (a QJsonValue holding a qint64) exactly when its value is whole
// and within the signed 64-bit range, however it is written; every other number is a double
// that is not whole (NaN where the nearest double would be), so Qt keeps it as a double.
// Nothing when the bytes are not one JSON text; `error` then gives the reader's reason.
std::optional<QJsonValue> parseStrictJson(const QByteArray &bytes, QString *error = nullptr);
