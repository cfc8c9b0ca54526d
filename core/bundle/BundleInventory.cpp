#include "bundle/BundleInventory.h"

#include "release/Sha256.h"
#include "text/UserFacingError.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <unistd.h>

namespace {

[[noreturn]] void throwSystemError(const QByteArray &path)
{
    throw SystemError(QString::fromLocal8Bit(std::strerror(errno)) + QStringLiteral(": ")
                      + QFile::decodeName(path));
}

struct DirectoryCloser
{
    void operator()(DIR *directory) const { ::closedir(directory); }
};

QByteArrayList sortedNames(const QByteArray &folder)
{
    std::unique_ptr<DIR, DirectoryCloser> directory(::opendir(folder.constData()));
    if (!directory)
        throwSystemError(folder);
    QByteArrayList names;
    while (const dirent *entry = ::readdir(directory.get())) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void walkFolder(const QByteArray &root, const QByteArray &relative,
                const std::function<void(const QByteArray &, const struct stat &)> &visit)
{
    const QByteArray prefix = relative.isEmpty() ? QByteArray() : relative + '/';
    for (const QByteArray &name : sortedNames(root + '/' + relative)) {
        const QByteArray path = prefix + name;
        struct stat status {};
        if (::lstat((root + '/' + path).constData(), &status) != 0)
            throwSystemError(root + '/' + path);
        visit(path, status);
        if (S_ISDIR(status.st_mode))
            walkFolder(root, path, visit);
    }
}

QString linkTargetDigest(const QByteArray &path, qint64 &length)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t count = ::readlink(path.constData(), target.data(), size_t(target.size()));
    if (count < 0)
        throwSystemError(path);
    length = count;
    Sha256 hash;
    hash.addData(target.constData(), count);
    return hash.hexDigest();
}

} // namespace

void walkBundle(const QString &bundlePath,
                const std::function<void(const QByteArray &relative, const struct stat &)> &visit)
{
    walkFolder(QFile::encodeName(bundlePath), QByteArray(), visit);
}

QByteArray bundleInventory(const QString &bundlePath, const QByteArray &excluded)
{
    const QByteArray root = QFile::encodeName(bundlePath);
    QByteArray inventory;
    walkBundle(bundlePath, [&](const QByteArray &relative, const struct stat &status) {
        if (relative == excluded || relative.startsWith(excluded + '/'))
            return;
        char type = 'd';
        qint64 size = 0;
        QString digest = QStringLiteral("-");
        if (S_ISREG(status.st_mode)) {
            type = 'f';
            size = status.st_size;
            digest = sha256HexOfFile(QFile::decodeName(root + '/' + relative));
        } else if (S_ISLNK(status.st_mode)) {
            type = 'l';
            digest = linkTargetDigest(root + '/' + relative, size);
        } else if (!S_ISDIR(status.st_mode)) {
            throw SystemError(QStringLiteral("Neither a folder, a file nor a link: ") + QFile::decodeName(relative));
        }
        inventory += type + QByteArray(" ") + QByteArray::number(status.st_mode & 07777, 8).rightJustified(4, '0')
            + ' ' + QByteArray::number(size) + ' ' + digest.toLatin1() + ' ' + relative.toPercentEncoding("/")
            + '\n';
    });
    return inventory;
}
