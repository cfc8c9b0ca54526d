#include "SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray raiseRequest = "raise\n";
constexpr qsizetype longestRequest = 64;
constexpr int connectMs = 1000;
constexpr int requestMs = 2000;

enum class SocketFile { absent, ours, foreign };

// Only a socket that this user owns is ever used or removed.
SocketFile inspect(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return SocketFile::absent;
    return S_ISSOCK(info.st_mode) && info.st_uid == ::geteuid() ? SocketFile::ours : SocketFile::foreign;
}

void warn(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

SingleInstance::SingleInstance(const QString &socketFolder, QObject *parent)
    : QObject(parent)
    , folder_(socketFolder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                                     : socketFolder)
    , socketPath_(QDir(folder_).filePath(QStringLiteral("dev.quillo.edge.manager-%1").arg(::geteuid())))
{
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *connection = server_.nextPendingConnection())
            serve(connection);
    });
}

SingleInstance::Role SingleInstance::claim()
{
    // Two managers starting at the same moment take turns here.
    QLockFile lock(socketPath_ + QStringLiteral(".lock"));
    lock.tryLock(connectMs + requestMs);

    switch (inspect(socketPath_)) {
    case SocketFile::foreign:
        warn(QStringLiteral("Quillo Edge：%1 不属于当前用户，未检查是否已有管理应用在运行。").arg(socketPath_));
        return Role::unguarded;
    case SocketFile::ours:
        if (askRunningManagerToRaise())
            return Role::secondary;
        // Left behind by a manager that ended without closing it.
        QLocalServer::removeServer(socketPath_);
        break;
    case SocketFile::absent:
        break;
    }
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(socketPath_)) {
        warn(QStringLiteral("Quillo Edge：无法监听 %1：%2").arg(socketPath_, server_.errorString()));
        return Role::unguarded;
    }
    return Role::primary;
}

bool SingleInstance::askRunningManagerToRaise() const
{
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(connectMs))
        return false;
    socket.write(raiseRequest);
    return socket.waitForBytesWritten(requestMs);
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
        if (line == raiseRequest)
            emit raiseRequested();
        connection->disconnectFromServer();
    });
}
