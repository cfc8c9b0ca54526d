// One manager per user, through the socket in the user's runtime folder.
#include "Fetched.h"
#include "SingleInstance.h"

#include <QGuiApplication>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A socket file that nobody listens on any more, as a crashed manager leaves it.
bool leaveStaleSocket(const QString &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

// Sends bytes as a client and waits until the manager's side hangs up.
bool sendAndWaitForHangUp(const QString &path, const QByteArray &bytes)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(2000))
        return false;
    socket.write(bytes);
    socket.flush();
    return QTest::qWaitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; }, 5000);
}

} // namespace

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    // A second manager leaves with status 0 after the first was asked to come forward.
    void secondLaunchRaisesTheFirst()
    {
        QTemporaryDir runtime;
        QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        SingleInstance first(runtime.path());
        QCOMPARE(first.claim(), SingleInstance::Role::primary);
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);

        QProcess second;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        second.setProcessEnvironment(environment);
        second.start(QStringLiteral(QUILLO_BUNDLE_DIR "/Contents/MacOS/QuilloEdge"), {});
        QVERIFY(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, 30000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE(raised.count(), 1);
    }

    // Garbage, an overlong line or nothing at all is dropped, and a socket a crashed manager
    // left behind is taken over; the manager keeps serving.
    void dropsAnythingButTheRequest_data()
    {
        QTest::addColumn<bool>("staleSocket");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("nothing") << false << QByteArray();
        QTest::newRow("garbage") << false << QByteArray("garbage\n");
        QTest::newRow("request and more") << false << QByteArray("raise now\n");
        QTest::newRow("no line end") << false << QByteArray(10000, 'r');
        QTest::newRow("stale socket") << true << QByteArray();
    }
    void dropsAnythingButTheRequest()
    {
        QTemporaryDir runtime;
        SingleInstance first(runtime.path());
        if (FETCHED(bool, staleSocket))
            QVERIFY(leaveStaleSocket(first.socketPath()));
        QCOMPARE(first.claim(), SingleInstance::Role::primary);
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        QVERIFY(sendAndWaitForHangUp(first.socketPath(), FETCHED(QByteArray, bytes)));
        QCOMPARE(raised.count(), 0);
        QVERIFY(sendAndWaitForHangUp(first.socketPath(), "raise\n"));
        QCOMPARE(raised.count(), 1);
    }

    // In a folder shared with other users, a socket of another user is neither used nor removed.
    void leavesAnotherUsersSocketAlone()
    {
        if (::geteuid() != 0)
            QSKIP("giving a file to another user needs root");
        QTemporaryDir shared;
        SingleInstance manager(shared.path());
        QLocalServer other;
        QVERIFY(other.listen(manager.socketPath()));
        QVERIFY(::chown(QFile::encodeName(manager.socketPath()).constData(), 65534, 65534) == 0);
        struct stat before {};
        QVERIFY(::lstat(QFile::encodeName(manager.socketPath()).constData(), &before) == 0);

        QCOMPARE(manager.claim(), SingleInstance::Role::unguarded);
        QTest::qWait(100);
        QVERIFY(!other.hasPendingConnections());
        struct stat after {};
        QVERIFY(::lstat(QFile::encodeName(manager.socketPath()).constData(), &after) == 0);
        QCOMPARE(after.st_ino, before.st_ino);
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "tst_single_instance.moc"
