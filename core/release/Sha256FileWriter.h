#pragma once

#include "release/Sha256.h"

#include <QString>
#include <QTemporaryFile>
#include <QtGlobal>

// A hidden temporary file in a folder that hashes every byte on its way in, so a finished
// download's digest is known without reading the file again. Removed unless moved away.
class Sha256FileWriter
{
public:
    // Throws SystemError when the file cannot be created.
    Sha256FileWriter(const QString &folder, const QString &name);

    // False when writing failed; errorString() says why.
    bool write(const char *data, qsizetype length);
    QString errorString() const { return file_.errorString(); }
    qint64 bytesWritten() const { return bytesWritten_; }

    // Flushes the file and gives its lower-case hexadecimal SHA-256; throws SystemError.
    QString finish();
    // Renames the finished file to path, which must not exist; throws SystemError.
    void moveTo(const QString &path);

private:
    QTemporaryFile file_;
    Sha256 hash_;
    qint64 bytesWritten_ = 0;
};
