#include "UploadStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

UploadStore::UploadStore(QString dataDir) : dataDir_(std::move(dataDir))
{
}

std::optional<QString> UploadStore::plainFileName(const QByteArray &clientName)
{
    // NAME_MAX of common file systems, in bytes.
    if (clientName.isEmpty() || clientName.size() > 255)
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString name = decoder.decode(clientName);
    if (decoder.hasError())
        return std::nullopt;
    if (name == u"." || name == u".." || name.contains(u'/') || name.contains(u'\\'))
        return std::nullopt;
    // Format characters such as U+202E reorder what is shown: "a\u202Etxt.exe" reads as "aexe.txt".
    for (const char32_t c : name.toUcs4()) {
        if (QChar::category(c) == QChar::Other_Control || QChar::category(c) == QChar::Other_Format)
            return std::nullopt;
    }
    return name;
}

bool UploadStore::makePrivateFolder(const QString &path)
{
    return QDir().mkpath(path)
        && QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

UploadStore::Saved UploadStore::save(const QString &fileName, const QByteArray &content) const
{
    if (!makePrivateFolder(dataDir_))
        return {false, {}, QStringLiteral("无法创建数据文件夹")};

    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString stem = dot > 0 ? fileName.left(dot) : fileName;
    const QString extension = dot > 0 ? fileName.mid(dot) : QString();

    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const QString candidate = attempt == 1
            ? fileName
            : QStringLiteral("%1 (%2)%3").arg(stem).arg(attempt).arg(extension);
        if (candidate.toUtf8().size() > 255)
            break;
        QFile file(QDir(dataDir_).filePath(candidate));
        // NewOnly is O_EXCL: it also refuses to follow a symbolic link planted under the name.
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            if (QFileInfo(file.fileName()).exists() || QFileInfo(file.fileName()).isSymLink())
                continue;
            return {false, {}, file.errorString()};
        }
        if (file.write(content) != content.size() || !file.flush()) {
            const QString error = file.errorString();
            file.close();
            file.remove();
            return {false, {}, error};
        }
        file.close();
        return {true, candidate, {}};
    }
    return {false, {}, QStringLiteral("同名文件过多")};
}

QStringList UploadStore::fileNames() const
{
    return QDir(dataDir_).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}
