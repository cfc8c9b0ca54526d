#include "FileSystem.h"
#include "UpdaterTestBed.h"

#include <QtTest>

#include <atomic>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class UpdaterInstallationTest : public QObject
{
    Q_OBJECT

private slots:
    void installs_data();
    void installs();
    void waitsForTheManagerToEnd();
    void neverLeavesTheTargetMissing_data();
    void neverLeavesTheTargetMissing();
    void stoppedAtAnyStepLeavesAWholeBundle_data();
    void stoppedAtAnyStepLeavesAWholeBundle();
    void clearsEarlierLeftovers_data();
    void clearsEarlierLeftovers();
};

namespace {

// A bed with version 1.0.0 installed and 2.0.0 (build 2) staged.
bool arrange(const UpdaterTestBed &bed)
{
    return UpdaterTestBed::writeManager(bed.targetApp(), u"1.0.0"_s, 1)
        && UpdaterTestBed::writeManager(bed.stagedApp(), u"2.0.0"_s, 2);
}

} // namespace

void UpdaterInstallationTest::installs_data()
{
    QTest::addColumn<bool>("atomicExchange");
    QTest::addColumn<QStringList>("setup");    // fixture settings and arrangements named in installs()
    QTest::addColumn<QString>("message");      // empty for success
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QString>("versionLeft");  // at the target

    const QString waiting = u"Waiting for manager process {pid} to exit"_s;
    const QString rollingBack = u"Manager update failed; rolling back: {message}"_s;
    const QString failed = u"Updater error: {message}"_s;
    const QStringList installed{waiting, u"Manager update installed successfully"_s};
    const QStringList restored{waiting, rollingBack, u"Previous manager version restored"_s, failed};
    const QString openFails = u"执行 {open} 失败：The application cannot be opened because it is damaged."_s;
    QTest::newRow("exchange") << true << QStringList() << QString() << installed << u"2.0.0"_s;
    QTest::newRow("two renames") << false << QStringList() << QString() << installed << u"2.0.0"_s;
    QTest::newRow("nothing installed before") << true << QStringList{u"no target"_s} << QString() << installed << u"2.0.0"_s;
    // Refused before the wait, or by it: nothing is touched.
    QTest::newRow("staged version differs") << true << QStringList{u"staged 2.0.1"_s} << u"App 安全校验失败：版本号不匹配"_s
                                            << QStringList{failed} << u"1.0.0"_s;
    QTest::newRow("staged bundle missing") << true << QStringList{u"no staged"_s} << u"App 安全校验失败：Bundle ID 不匹配"_s
                                           << QStringList{failed} << u"1.0.0"_s;
    QTest::newRow("manager never ends") << true << QStringList{u"manager alive"_s} << u"旧版 Edge 管理器未能退出，更新已取消"_s
                                        << QStringList{waiting, failed} << u"1.0.0"_s;
    // After the wait: rolled back.
    QTest::newRow("copy fails") << true << QStringList{u"QUILLO_FAKE_DITTO_FAIL=*"_s}
                                << u"执行 {ditto} 失败：ditto: {update}: No space left on device"_s
                                << QStringList{waiting, rollingBack, failed} << u"1.0.0"_s;
    for (const bool atomicExchange : {true, false}) {
        const char *mode = atomicExchange ? "exchange" : "two renames";
        QTest::addRow("%s: installed bundle fails verification", mode) << atomicExchange
            << QStringList{u"QUILLO_FAKE_VERIFY_REJECT={target}"_s}
            << u"执行 {codesign} 失败：{target}: a sealed resource is missing or invalid"_s << restored << u"1.0.0"_s;
        QTest::addRow("%s: new bundle will not open", mode) << atomicExchange
            << QStringList{u"QUILLO_FAKE_OPEN_REJECT=2.0.0"_s} << openFails << restored << u"1.0.0"_s;
        QTest::addRow("%s: backup cannot return", mode) << atomicExchange
            << QStringList{u"QUILLO_FAKE_OPEN_REJECT=2.0.0"_s, u"QUILLO_FAKE_OPEN_TAKE_BACKUP=1"_s} << openFails
            << QStringList{waiting, rollingBack, u"Rollback failed: …"_s, failed} << QString();
    }
}

// Success installs and reopens the new bundle and clears every leftover. A failure after the
// wait puts the previous bundle back and reopens it; the staged bundle and the work folder stay
// for the manager, and no hidden copy is left beside the target.
void UpdaterInstallationTest::installs()
{
    QFETCH(bool, atomicExchange);
    QFETCH(QStringList, setup);
    QFETCH(QString, message);
    QFETCH(QStringList, log);
    QFETCH(QString, versionLeft);
    UpdaterTestBed bed;
    QVERIFY(arrange(bed));
    UpdaterEnvironment environment = bed.environment();
    environment.atomicExchange = atomicExchange;
    // Longer than the deadline: a manager that has already ended must cost no wait at all.
    environment.exitProbeInterval = std::chrono::seconds(30);
    qint64 manager = bed.managerId();
    if (setup.removeAll(u"manager alive"_s)) {
        manager = QCoreApplication::applicationPid();
        environment.exitProbeInterval = std::chrono::milliseconds(20);
        environment.exitDeadline = std::chrono::milliseconds(300);
    }
    QVERIFY(!setup.removeAll(u"no target"_s) || QDir(bed.targetApp()).removeRecursively());
    const bool noStaged = setup.removeAll(u"no staged"_s);
    QVERIFY(!noStaged || QDir(bed.stagedApp()).removeRecursively());
    QVERIFY(!setup.removeAll(u"staged 2.0.1"_s) || UpdaterTestBed::writeManager(bed.stagedApp(), u"2.0.1"_s, 2));
    bed.steer(setup);

    bed.runAndCheck(bed.arguments(u"{install}|--parent-pid|%1"_s.arg(manager)), message,
                    log.replaceInStrings(u"{pid}"_s, QString::number(manager)), environment);
    const bool copied = message.isEmpty() || log.value(1).startsWith(u"Manager update failed"_s);
    QCOMPARE(bed.fixtureRecord().filter(u"ditto"_s), copied ? QStringList{bed.fill(u"ditto {staged} {update}"_s)} : QStringList());
    if (!copied)  // only the staged bundle was looked at
        QCOMPARE(bed.fixtureRecord().filter(QRegularExpression(u"^(codesign|spctl) "_s)), bed.fixtureRecord());
    QCOMPARE(UpdaterTestBed::versionAt(bed.targetApp()), versionLeft);
    const bool reopened = message.isEmpty() || log.contains(u"Previous manager version restored"_s);
    QCOMPARE(bed.fixtureRecord(u"opened"_s), reopened ? QStringList{bed.targetApp() + u' ' + versionLeft} : QStringList());
    QCOMPARE(bed.entries(u"{home}/Applications"_s), versionLeft.isEmpty() ? QStringList() : QStringList{u"Quillo Edge.app"_s});
    QCOMPARE(QFileInfo::exists(bed.fill(u"{cache}/work"_s)), !message.isEmpty());
    QCOMPARE(QFileInfo::exists(bed.stagedApp()), !message.isEmpty() && !noStaged);
}

void UpdaterInstallationTest::waitsForTheManagerToEnd()
{
    UpdaterTestBed bed;
    QVERIFY(arrange(bed));
    // Started and reaped here rather than through QProcess, which leaves its ended children
    // unreaped until asked, and a zombie still answers the probe.
    const char *const arguments[] = {"/bin/sleep", "0.5", nullptr};
    pid_t manager = 0;
    QCOMPARE(::posix_spawn(&manager, arguments[0], nullptr, nullptr, const_cast<char *const *>(arguments), environ), 0);
    std::jthread reaper([manager] { ::waitpid(manager, nullptr, 0); });
    QElapsedTimer clock;
    clock.start();

    const int exitCode = bed.run(bed.arguments(u"{install}|--parent-pid|%1"_s.arg(manager)));
    reaper.join();

    QCOMPARE(exitCode, 0);
    QVERIFY2(clock.elapsed() >= 400, qPrintable(QString::number(clock.elapsed())));
}

void UpdaterInstallationTest::neverLeavesTheTargetMissing_data()
{
    QTest::addColumn<bool>("rollBack");
    QTest::newRow("installs") << false;
    QTest::newRow("rolls back") << true;
}

// Where the file system can exchange two names, the target holds a whole bundle at every
// moment, while the new bundle goes in and while the previous one comes back.
void UpdaterInstallationTest::neverLeavesTheTargetMissing()
{
    QFETCH(bool, rollBack);
    UpdaterTestBed bed;
    QVERIFY(arrange(bed));
    const QString probe = bed.home() + u"/Applications/probe"_s;
    QVERIFY(QDir().mkpath(probe + u'a') && QDir().mkpath(probe + u'b'));
    if (!FileSystem::exchangeItems(probe + u'a', probe + u'b'))
        QSKIP("this file system cannot exchange two names");
    QVERIFY(QDir(probe + u'a').removeRecursively() && QDir(probe + u'b').removeRecursively());
    if (rollBack)
        bed.steer({u"QUILLO_FAKE_OPEN_REJECT=2.*"_s});

    const QByteArray watched = (bed.targetApp() + u"/Contents/Info.plist"_s).toLocal8Bit();
    std::atomic<int> probes = 0;
    std::atomic<int> misses = 0;
    std::jthread watcher([&](std::stop_token stop) {
        for (; !stop.stop_requested(); ++probes)
            misses += ::access(watched.constData(), F_OK) != 0 ? 1 : 0;
    });
    for (int round = 0; round < 12; ++round) {
        const QString version = u"2.0.%1"_s.arg(round);
        QVERIFY(UpdaterTestBed::writeManager(bed.stagedApp(), version, 2));
        QCOMPARE(bed.run(bed.arguments(u"{install}|--version|"_s + version)), rollBack ? 1 : 0);
        QCOMPARE(UpdaterTestBed::versionAt(bed.targetApp()), rollBack ? u"1.0.0"_s : version);
    }
    watcher.request_stop();
    watcher.join();

    QVERIFY(probes > 0);
    QCOMPARE(misses.load(), 0);
    QCOMPARE(bed.entries(u"{home}/Applications"_s), QStringList{u"Quillo Edge.app"_s});
}

namespace {

// Not a std::exception, so nothing in the updater catches it: the run ends there, as if killed.
struct Stopped
{
};

} // namespace

void UpdaterInstallationTest::stoppedAtAnyStepLeavesAWholeBundle_data()
{
    neverLeavesTheTargetMissing_data();
}

// Without the exchange, a run stopped before any rename or removal of the swap, or part-way
// through a removal, leaves a whole bundle at the target, or none only between the rename that
// takes the previous bundle away and the one that brings a bundle in. The next update succeeds
// and leaves nothing hidden behind.
void UpdaterInstallationTest::stoppedAtAnyStepLeavesAWholeBundle()
{
    QFETCH(bool, rollBack);
    for (int stopAt = 0; stopAt < 20; ++stopAt) {
        UpdaterTestBed bed;
        QVERIFY(arrange(bed));
        bed.steer({u"QUILLO_FAKE_OPEN_REJECT="_s + (rollBack ? u"2.*"_s : QString())});
        UpdaterEnvironment environment = bed.environment();
        environment.atomicExchange = false;
        QStringList steps;
        environment.beforeSwapStep = [&](SwapStep step, const QString &path) {
            steps << (step == SwapStep::rename ? u"rename "_s : u"remove "_s) + path;
            if (steps.size() <= stopAt)
                return;
            if (step == SwapStep::remove)
                QFile::remove(path + u"/Contents/Info.plist"_s);
            throw Stopped();
        };
        bool stopped = false;
        try {
            bed.run(bed.arguments(u"{install}"_s), environment);
        } catch (const Stopped &) {
            stopped = true;
        }

        const QString version = UpdaterTestBed::versionAt(bed.targetApp());
        if (version.isEmpty()) {
            QVERIFY2(!QFileInfo::exists(bed.targetApp()), qPrintable(u"part of a bundle left at "_s + steps.last()));
            QVERIFY2(steps.size() >= 2 && steps.at(steps.size() - 2) == u"rename "_s + bed.targetApp()
                         && steps.last().startsWith(u"rename "_s),
                     qPrintable(u"no bundle left at "_s + steps.last()));
        } else {
            QVERIFY(version == u"1.0.0"_s || version == u"2.0.0"_s);
        }
        if (!stopped)
            return;

        bed.steer({u"QUILLO_FAKE_OPEN_REJECT="_s});
        environment.beforeSwapStep = {};
        QCOMPARE(bed.run(bed.arguments(u"{install}"_s), environment), 0);
        QCOMPARE(UpdaterTestBed::versionAt(bed.targetApp()), u"2.0.0"_s);
        QCOMPARE(bed.entries(u"{home}/Applications"_s), QStringList{u"Quillo Edge.app"_s});
    }
    QFAIL("the run never ended");
}

void UpdaterInstallationTest::clearsEarlierLeftovers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("cleared");
    const QString uuid = u"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"_s;
    QTest::newRow("update copy") << u".Quillo Edge.update-%1.app"_s.arg(uuid) << true;
    QTest::newRow("backup") << u".Quillo Edge.backup-%1.app"_s.arg(uuid) << true;
    QTest::newRow("lower-case UUID") << u".Quillo Edge.backup-%1.app"_s.arg(uuid.toLower()) << false;
    QTest::newRow("longer name") << u".Quillo Edge.backup-%1.app.old"_s.arg(uuid) << false;
    QTest::newRow("not hidden") << u"Quillo Edge.backup-%1.app"_s.arg(uuid) << false;
}

// A successful install also clears what interrupted runs left beside the target, and only that.
void UpdaterInstallationTest::clearsEarlierLeftovers()
{
    QFETCH(QString, name);
    QFETCH(bool, cleared);
    UpdaterTestBed bed;
    QVERIFY(arrange(bed));
    const QString leftover = bed.home() + u"/Applications/"_s + name;
    QVERIFY(UpdaterTestBed::writeManager(leftover, u"1.0.0"_s, 1));

    QCOMPARE(bed.run(bed.arguments(u"{install}"_s)), 0);
    QCOMPARE(QFileInfo::exists(leftover), !cleared);
}

QTEST_GUILESS_MAIN(UpdaterInstallationTest)
#include "tst_UpdaterInstallation.moc"
