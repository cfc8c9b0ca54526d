#include "SingleInstance.h"

#include "WindowLog.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray raiseRequest = "raise\n";
constexpr qsizetype longestRequest = 64;
constexpr int connectMs = 1000;
constexpr int requestMs = 2000;
constexpr int handOverMs = 5000;
constexpr int retryMs = 100;

enum class SocketFile { absent, ours, foreign };

// Only a socket that this user owns is ever used or removed.
SocketFile inspect(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return SocketFile::absent;
    return S_ISSOCK(info.st_mode) && info.st_uid == ::geteuid() ? SocketFile::ours : SocketFile::foreign;
}

// Nobody else can enter it or put anything in it: a real folder (not a link) of this user, mode 0700.
bool isPrivateFolder(const QString &path)
{
    struct stat info {};
    return QDir::isAbsolutePath(path) && ::lstat(QFile::encodeName(path).constData(), &info) == 0
        && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 07777) == 0700;
}

// Makes the folder where nothing stands yet; whatever stands there already must pass as private.
bool makePrivateFolder(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (QDir::isAbsolutePath(path) && ::mkdir(name.constData(), 0700) == 0)
        ::chmod(name.constData(), 0700); // the umask may have taken bits away
    return isPrivateFolder(path);
}

// Without a private runtime folder (another user may have made the shared one Qt falls back to
// first), a folder named after this user in the temporary folder; if someone took that name too,
// one in the user's own caches folder, where no one else can make it. That one is per machine: a
// home folder may be shared by several.
QString privateRuntimeFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (isPrivateFolder(runtime))
        return runtime;
    const QString temporary = QDir(QDir::tempPath()).filePath(QStringLiteral("quillo-edge-%1").arg(::geteuid()));
    if (makePrivateFolder(temporary))
        return temporary;
    const QString caches = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString own = QDir(caches).filePath(QStringLiteral("quillo-edge-") + QSysInfo::machineHostName());
    return QDir().mkpath(caches) && makePrivateFolder(own) ? own : QString();
}

void warn(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

SingleInstance::SingleInstance(const QString &socketFolder, QObject *parent)
    : QObject(parent)
{
    const QString folder = socketFolder.isEmpty() ? privateRuntimeFolder() : socketFolder;
    if (!folder.isEmpty())
        socketPath_ = QDir(folder).filePath(QStringLiteral("dev.quillo.edge.manager-%1").arg(::geteuid()));
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *connection = server_.nextPendingConnection())
            serve(connection);
    });
}

// The socket goes before the lock, so the next manager finds either both or neither.
SingleInstance::~SingleInstance()
{
    server_.close();
    if (lock_ >= 0)
        ::close(lock_);
}

SingleInstance::Role SingleInstance::claim()
{
    if (socketPath_.isEmpty()) {
        warn(QStringLiteral("Quillo Edge：没有只属于当前用户的文件夹，未检查是否已有管理应用在运行。"));
        return Role::unguarded;
    }
    // Held until this process ends (the system lets go of it however the process ends), so a taken
    // lock means a manager runs, though perhaps not listening yet. Programs started from here do
    // not inherit it.
    const QString lockPath = socketPath_ + QStringLiteral(".lock");
    lock_ = ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    const bool locked = lock_ >= 0 && ::flock(lock_, LOCK_EX | LOCK_NB) == 0;
    if (!locked && lock_ >= 0 && errno == EWOULDBLOCK)
        return handOver();
    if (!locked) {
        warn(QStringLiteral("Quillo Edge：无法锁定 %1，未检查是否已有管理应用在运行。").arg(lockPath));
        return Role::unguarded;
    }

    switch (inspect(socketPath_)) {
    case SocketFile::foreign:
        warn(QStringLiteral("Quillo Edge：%1 不属于当前用户，未检查是否已有管理应用在运行。").arg(socketPath_));
        return Role::unguarded;
    case SocketFile::ours:
        // A manager that listens there without the lock is left alone, also when it is too busy to
        // answer; only a socket that nobody listens on is left over.
        if (askRunningManagerToRaise() != Answer::nobody)
            return Role::secondary;
        QLocalServer::removeServer(socketPath_);
        break;
    case SocketFile::absent:
        break;
    }
    // Without socket options listening fails on anything at the path; with them it would replace it.
    if (!server_.listen(socketPath_)) {
        warn(QStringLiteral("Quillo Edge：无法监听 %1：%2").arg(socketPath_, server_.errorString()));
        return Role::unguarded;
    }
    qCInfo(instanceLog) << "first manager, listening at" << socketPath_;
    return Role::primary;
}

// The running manager takes the lock before it listens, so it may not answer at once.
SingleInstance::Role SingleInstance::handOver() const
{
    const QDeadlineTimer deadline(handOverMs);
    while (askRunningManagerToRaise() != Answer::raised) {
        if (deadline.hasExpired()) {
            warn(QStringLiteral("Quillo Edge：已有管理应用在运行，但它没有应答。"));
            break;
        }
        QThread::msleep(retryMs);
    }
    return Role::secondary;
}

SingleInstance::Answer SingleInstance::askRunningManagerToRaise() const
{
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(connectMs)) {
        const auto error = socket.error();
        qCInfo(instanceLog) << "no running manager answered at" << socketPath_ << error;
        return error == QLocalSocket::ServerNotFoundError || error == QLocalSocket::ConnectionRefusedError
            ? Answer::nobody
            : Answer::silent;
    }
    socket.write(raiseRequest);
    const bool sent = socket.waitForBytesWritten(requestMs);
    qCInfo(instanceLog) << (sent ? "asked the running manager to come forward" : "the running manager took no request");
    return sent ? Answer::raised : Answer::silent;
}

// Exactly one line "raise" brings the window forward; anything else, or nothing in time, only
// closes the connection.
void SingleInstance::serve(QLocalSocket *connection)
{
    connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
    auto *deadline = new QTimer(connection);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, connection, &QLocalSocket::abort);
    deadline->start(requestMs);
    connect(connection, &QLocalSocket::readyRead, this, [this, connection] {
        if (!connection->canReadLine() && connection->bytesAvailable() < longestRequest)
            return;
        const QByteArray line = connection->readLine(longestRequest + 1);
        const bool raise = line == raiseRequest;
        qCInfo(instanceLog) << (raise ? "another start hands over: raising the window" : "refused a request:") << line;
        if (raise)
            emit raiseRequested();
        connection->disconnectFromServer();
    });
}
