#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

// Collects what a pipe delivers as UTF-8 text, decoding each read at once from a small buffer
// that stays in the processor's cache: a large output is never held both as bytes and as text,
// and each byte is decoded once.
class Utf8PipeSink
{
public:
    // Reads what the pipe holds now. Returns false at end of file.
    bool readAvailable(int fd);
    // The text, or "" when the bytes were not valid UTF-8 (an unfinished last sequence too).
    QString take();

private:
    void decode(QByteArrayView bytes);

    QByteArray chunk_{256 * 1024, Qt::Uninitialized};
    QStringDecoder decoder_{QStringDecoder::Utf8};
    QString text_;
    qsizetype used_ = 0;
    QByteArray lastBytes_; // the last few, to tell whether the text ends inside a sequence
};
