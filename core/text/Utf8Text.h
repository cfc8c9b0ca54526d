#pragma once

#include <QByteArray>
#include <QString>

// Bytes as UTF-8 text; bytes that are not valid UTF-8 give the empty text, never a guess.
QString decodeUtf8OrEmpty(const QByteArray &bytes);

// Every character of a UTF-8 value, a leading U+FEFF too (QString::fromUtf8 drops it);
// bytes that are not valid UTF-8 become U+FFFD.
QString decodeUtf8Exactly(QByteArrayView bytes);
