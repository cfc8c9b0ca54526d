// One manager per user, through the socket in the user's runtime folder.
#include "Fetched.h"
#include "SingleInstance.h"

#include <QGuiApplication>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What another user may have left at path: a folder "open" to all, a "link" to a private folder,
// or a private folder of their own ("foreign").
bool plant(const QString &path, const QString &kind)
{
    const QByteArray name = QFile::encodeName(path);
    return kind.isEmpty() || (kind == u"open" && ::mkdir(name.constData(), 0755) == 0)
        || (kind == u"link" && ::symlink(QFile::encodeName(QFileInfo(path).path()).constData(), name.constData()) == 0)
        || (kind == u"foreign" && ::mkdir(name.constData(), 0700) == 0 && ::chown(name.constData(), 65534, 0) == 0);
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

    QTemporaryDir temporary_;
    int rows_ = 0;

private slots:
    // A second manager, started from another folder while the first holds the lock but does not listen
    // yet, leaves with status 0 after the first was asked to come forward, also without a runtime folder.
    void secondLaunchRaisesTheFirst_data()
    {
        QTest::addColumn<QStringList>("planted"); // at the shared runtime folder, at the next place
        QTest::newRow("runtime folder") << QStringList();
        QTest::newRow("another user's") << QStringList{"foreign"};
        QTest::newRow("open to all") << QStringList{"open"};
        QTest::newRow("a link, then another user's") << QStringList{"link", "foreign"};
        QTest::newRow("open, then a link") << QStringList{"open", "link"};
    }
    void secondLaunchRaisesTheFirst()
    {
        QFETCH(QStringList, planted);
        if (planted.contains(QStringLiteral("foreign")) && ::geteuid() != 0)
            QSKIP("giving a folder to another user needs root");
        const QString folder = temporary_.filePath(QString::number(++rows_)); // the temporary folder
        QVERIFY(::mkdir(QFile::encodeName(folder).constData(), 0700) == 0);
        qputenv("TMPDIR", QFile::encodeName(folder));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(folder + QStringLiteral("/caches")));
        qputenv("XDG_RUNTIME_DIR", planted.isEmpty() ? QFile::encodeName(folder) : QByteArray());
        QVERIFY(plant(folder + QStringLiteral("/runtime-") + ::getpwuid(::geteuid())->pw_name, planted.value(0)));
        QVERIFY(plant(folder + QStringLiteral("/quillo-edge-%1").arg(::geteuid()), planted.value(1)));

        SingleInstance first;
        const QByteArray place = QFile::encodeName(QFileInfo(first.socketPath()).path());
        struct stat info {}; // private: absolute, a real folder, this user's, 0700
        QVERIFY(place.startsWith('/') && ::lstat(place.constData(), &info) == 0);
        QVERIFY(S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 07777) == 0700);
        QFile lock(first.socketPath() + QStringLiteral(".lock"));
        QVERIFY(lock.open(QIODevice::WriteOnly) && ::flock(lock.handle(), LOCK_EX) == 0);
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        QProcess second;
        second.setWorkingDirectory(folder);
        second.start(QStringLiteral(QUILLO_BUNDLE_DIR "/Contents/MacOS/QuilloEdge"), {});
        QTest::qWait(1500); // the second finds the lock taken
        lock.close();
        QCOMPARE(first.claim(), SingleInstance::Role::primary);
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
        QLocalServer gone; // its socket stays behind when it closes, as when a manager crashed
        if (FETCHED(bool, staleSocket)) {
            QVERIFY(gone.listen(runtime.filePath(QStringLiteral("gone"))));
            QVERIFY(QFile::rename(gone.fullServerName(), first.socketPath()));
            gone.close();
        }
        QCOMPARE(first.claim(), SingleInstance::Role::primary);
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        QVERIFY(sendAndWaitForHangUp(first.socketPath(), FETCHED(QByteArray, bytes)));
        QCOMPARE(raised.count(), 0);
        QVERIFY(sendAndWaitForHangUp(first.socketPath(), "raise\n"));
        QCOMPARE(raised.count(), 1);
    }

    // A socket of another user (in a folder shared with others) or of a manager too busy to take a
    // request is never replaced.
    void leavesALiveSocketAlone_data()
    {
        QTest::addColumn<bool>("foreign");
        QTest::addColumn<SingleInstance::Role>("role");
        QTest::newRow("another user's") << true << SingleInstance::Role::unguarded;
        QTest::newRow("busy manager") << false << SingleInstance::Role::secondary;
    }
    void leavesALiveSocketAlone()
    {
        QFETCH(bool, foreign);
        if (foreign && ::geteuid() != 0)
            QSKIP("giving a file to another user needs root");
        QTemporaryDir shared;
        SingleInstance manager(shared.path());
        const QByteArray path = QFile::encodeName(manager.socketPath());
        QLocalServer other;
        other.setListenBacklogSize(0);
        QVERIFY(other.listen(manager.socketPath()));
        QLocalSocket waiting; // takes the only place for new connections, as when its owner is busy
        waiting.connectToServer(manager.socketPath());
        QVERIFY(!foreign || ::chown(path.constData(), 65534, 65534) == 0);
        struct stat before {};
        QVERIFY(::lstat(path.constData(), &before) == 0);

        QCOMPARE(manager.claim(), FETCHED(SingleInstance::Role, role));
        struct stat after {};
        QVERIFY(::lstat(path.constData(), &after) == 0);
        QCOMPARE(after.st_ino, before.st_ino);
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "tst_single_instance.moc"
