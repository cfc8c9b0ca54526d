#include "linux/TreeCopy.h"

#include "bundle/BundleInventory.h"
#include "text/UserFacingError.h"
#include "FileSystem.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const QByteArray &path)
{
    throw SystemError(QString::fromLocal8Bit(std::strerror(errno)) + QStringLiteral(": ") + QFile::decodeName(path));
}

void copyFile(const QByteArray &from, const QByteArray &to, mode_t mode)
{
    const int source = ::open(from.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (source < 0)
        fail(from);
    const int target = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (target < 0) {
        ::close(source);
        fail(to);
    }
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    ssize_t count = 0;
    bool written = true;
    while (written && (count = ::read(source, buffer.data(), size_t(buffer.size()))) > 0)
        written = ::write(target, buffer.constData(), size_t(count)) == count;
    const bool copied = written && count == 0 && ::fchmod(target, mode) == 0;
    const int error = errno;
    ::close(source);
    ::close(target);
    errno = error;
    if (!copied)
        fail(to);
}

void copyLink(const QByteArray &from, const QByteArray &to)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(from.constData(), target.data(), size_t(target.size()));
    if (length < 0)
        fail(from);
    target.truncate(length);
    if (::symlink(target.constData(), to.constData()) != 0)
        fail(to);
}

void copyEntries(const QByteArray &from, const QByteArray &to)
{
    // Folders are made writable for the owner while they fill and get their own mode at the end,
    // inner folders first.
    std::vector<std::pair<QByteArray, mode_t>> folderModes;
    walkBundle(QFile::decodeName(from), [&](const QByteArray &relative, const struct stat &status) {
        const QByteArray source = from + '/' + relative;
        const QByteArray target = to + '/' + relative;
        if (S_ISDIR(status.st_mode)) {
            if (::mkdir(target.constData(), 0700) != 0)
                fail(target);
            folderModes.emplace_back(target, status.st_mode & 07777);
        } else if (S_ISREG(status.st_mode)) {
            copyFile(source, target, status.st_mode & 07777);
        } else if (S_ISLNK(status.st_mode)) {
            copyLink(source, target);
        } else {
            throw SystemError(QStringLiteral("Neither a folder, a file nor a link: ") + QFile::decodeName(source));
        }
    });
    for (auto it = folderModes.rbegin(); it != folderModes.rend(); ++it) {
        if (::chmod(it->first.constData(), it->second) != 0)
            fail(it->first);
    }
}

} // namespace

void copyTree(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    struct stat status {};
    if (::lstat(source.constData(), &status) != 0)
        fail(source);
    if (!S_ISDIR(status.st_mode))
        throw SystemError(QStringLiteral("Not a folder: ") + from);
    if (::mkdir(target.constData(), 0700) != 0)
        fail(target);
    try {
        copyEntries(source, target);
        if (::chmod(target.constData(), status.st_mode & 07777) != 0)
            fail(target);
    } catch (...) {
        FileSystem::removeItemQuietly(to);
        throw;
    }
}
