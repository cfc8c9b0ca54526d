#pragma once

#include <QByteArray>
#include <QString>

// Bytes as UTF-8 text; bytes that are not valid UTF-8 give the empty text, never a guess.
QString decodeUtf8OrEmpty(const QByteArray &bytes);
