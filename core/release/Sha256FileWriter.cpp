#include "release/Sha256FileWriter.h"

#include "text/UserFacingError.h"

Sha256FileWriter::Sha256FileWriter(const QString &folder, const QString &name)
    : file_(folder + QStringLiteral("/.") + name + QStringLiteral(".XXXXXX"))
{
    if (!file_.open())
        throw SystemError(file_.errorString());
}

bool Sha256FileWriter::write(const char *data, qsizetype length)
{
    if (file_.write(data, length) != length)
        return false;
    hash_.addData(data, length);
    bytesWritten_ += length;
    return true;
}

QString Sha256FileWriter::finish()
{
    if (!file_.flush())
        throw SystemError(file_.errorString());
    return hash_.hexDigest();
}

void Sha256FileWriter::moveTo(const QString &path)
{
    if (!file_.rename(path))
        throw SystemError(file_.errorString());
    file_.setAutoRemove(false);
}
