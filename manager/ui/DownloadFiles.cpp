#include "DownloadFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstdio>

DownloadFiles::DownloadFiles(QObject *parent)
    : QObject(parent)
{
}

QUrl DownloadFiles::downloadsFolder() const
{
    return QUrl::fromLocalFile(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
}

QString DownloadFiles::stagingFolder()
{
    if (!staging_) {
        // Beside the program's cache rather than in a temporary file system that may be small.
        const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        QDir().mkpath(cache);
        staging_ = std::make_unique<QTemporaryDir>(cache + QStringLiteral("/download-XXXXXX"));
    }
    return staging_->isValid() ? staging_->path() : QString();
}

bool DownloadFiles::exists(const QUrl &file) const
{
    return QFileInfo::exists(file.toLocalFile());
}

bool DownloadFiles::place(const QString &staged, const QUrl &target) const
{
    const QString path = target.toLocalFile();
    if (std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(path).constData()) == 0)
        return true;
    // Another file system: copy, and replace the target only once the copy is whole.
    QFile source(staged);
    QSaveFile copy(path);
    if (!source.open(QIODevice::ReadOnly) || !copy.open(QIODevice::WriteOnly))
        return false;
    while (!source.atEnd()) {
        const QByteArray block = source.read(1 << 20);
        if (block.isEmpty() || copy.write(block) != block.size())
            return false;
    }
    if (!copy.commit())
        return false;
    QFile::remove(staged);
    return true;
}

void DownloadFiles::discard(const QString &staged) const
{
    QFile::remove(staged);
}
