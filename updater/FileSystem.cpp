#include "FileSystem.h"

#include "text/UserFacingError.h"

#include <QtGlobal>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path nativePath(const QString &path)
{
    return fs::path(path.toStdString());
}

// The operation in the user's words, then the system's own text for the error.
[[noreturn]] void fail(const QString &operation, std::error_code error)
{
    throw SystemError(operation + QStringLiteral("：") + QString::fromLocal8Bit(error.message()));
}

[[noreturn]] void fail(const QString &operation, int error)
{
    fail(operation, std::error_code(error, std::generic_category()));
}

QString renameFailure(const QString &from, const QString &to)
{
    return QStringLiteral("无法将“%1”重命名为“%2”").arg(from, to);
}

bool exchangeUnsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == ENOTSUP || error == EOPNOTSUPP;
}

} // namespace

bool FileSystem::exists(const QString &path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(nativePath(path), error));
}

void FileSystem::createFolders(const QString &path)
{
    std::error_code error;
    fs::create_directories(nativePath(path), error);
    if (error)
        fail(QStringLiteral("无法创建文件夹“%1”").arg(path), error);
}

void FileSystem::createPrivateFolder(const QString &path)
{
    const QByteArray native = path.toLocal8Bit();
    if (::mkdir(native.constData(), 0700) != 0)
        fail(QStringLiteral("无法创建文件夹“%1”").arg(path), errno);
    // The umask may have taken bits away; the owner needs all three. A folder that cannot get
    // them is not left behind.
    if (::chmod(native.constData(), 0700) != 0) {
        const int error = errno;
        ::rmdir(native.constData());
        fail(QStringLiteral("无法设置“%1”的权限").arg(path), error);
    }
}

void FileSystem::removeItem(const QString &path)
{
    std::error_code error;
    fs::remove_all(nativePath(path), error);
    if (error)
        fail(QStringLiteral("无法删除“%1”").arg(path), error);
}

void FileSystem::removeItemQuietly(const QString &path)
{
    std::error_code error;
    fs::remove_all(nativePath(path), error);
}

void FileSystem::removeEmptyFolderQuietly(const QString &path)
{
    ::rmdir(path.toLocal8Bit().constData());
}

void FileSystem::moveItem(const QString &from, const QString &to)
{
    if (exists(to))
        fail(renameFailure(from, to), EEXIST);
    if (std::rename(from.toLocal8Bit().constData(), to.toLocal8Bit().constData()) != 0)
        fail(renameFailure(from, to), errno);
}

bool FileSystem::exchangeItems(const QString &first, const QString &second)
{
    const QByteArray a = first.toLocal8Bit();
    const QByteArray b = second.toLocal8Bit();
#if defined(Q_OS_LINUX) && defined(RENAME_EXCHANGE)
    const int result = ::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), RENAME_EXCHANGE);
#elif defined(Q_OS_MACOS)
    const int result = ::renamex_np(a.constData(), b.constData(), RENAME_SWAP);
#else
    Q_UNUSED(a);
    Q_UNUSED(b);
    const int result = -1;
    errno = ENOSYS;
#endif
    if (result == 0)
        return true;
    if (exchangeUnsupported(errno))
        return false;
    fail(QStringLiteral("无法交换“%1”和“%2”").arg(first, second), errno);
}
