#include "FileSystem.h"
#include "UpdaterTestBed.h"

#include <QtTest>

#include <thread>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A bed with version 1.0.0 installed and 2.0.0 (build 2) staged.
bool arrange(const UpdaterTestBed &bed)
{
    return UpdaterTestBed::writeManager(bed.targetApp(), u"1.0.0"_s, 1)
        && UpdaterTestBed::writeManager(bed.stagedApp(), u"2.0.0"_s, 2);
}

// Not a std::exception, so nothing in the updater catches it: the run ends there, as if killed.
struct Stopped
{
};

} // namespace

class UpdaterInstallationTest : public QObject
{
    Q_OBJECT

private slots:
    void installs_data()
    {
        QTest::addColumn<bool>("atomicExchange");
        QTest::addColumn<QString>("setup");    // fixture settings or an arrangement named in installs()
        QTest::addColumn<QString>("message");  // empty for success
        QTest::addColumn<QStringList>("log");
        const QString waiting = u"Waiting for manager process {pid} to exit"_s;
        const QString rollingBack = u"Manager update failed; rolling back: {message}"_s;
        const QString failed = u"Updater error: {message}"_s;
        const QStringList installed{waiting, u"Manager update installed successfully"_s};
        const QStringList restored{waiting, rollingBack, u"Previous manager version restored"_s, failed};
        const QString openFails = u"执行 {open} 失败：The application cannot be opened because it is damaged."_s;
        QTest::newRow("exchange") << true << QString() << QString() << installed;
        QTest::newRow("two renames") << false << QString() << QString() << installed;
        QTest::newRow("nothing installed before") << true << u"no target"_s << QString() << installed;
        // Refused before the wait, or by it: nothing is touched.
        QTest::newRow("staged version differs") << true << u"staged 2.0.1"_s << u"App 安全校验失败：版本号不匹配"_s << QStringList{failed};
        QTest::newRow("manager never ends") << true << u"manager alive"_s << u"旧版 Edge 管理器未能退出，更新已取消"_s
                                            << QStringList{waiting, failed};
        // After the wait: rolled back.
        QTest::newRow("copy fails") << true << u"QUILLO_FAKE_DITTO_FAIL=*"_s
                                    << u"执行 {ditto} 失败：ditto: {home}/Applications/.Quillo Edge.update-…: No space left on device"_s
                                    << QStringList{waiting, rollingBack, failed};
        for (const bool atomicExchange : {true, false}) {
            const char *mode = atomicExchange ? "exchange" : "two renames";
            QTest::addRow("%s: installed bundle fails verification", mode)
                << atomicExchange << u"QUILLO_FAKE_VERIFY_REJECT={target}"_s
                << u"执行 {codesign} 失败：{target}: a sealed resource is missing or invalid"_s << restored;
            QTest::addRow("%s: new bundle will not open", mode)
                << atomicExchange << u"QUILLO_FAKE_OPEN_REJECT=2.0.0"_s << openFails << restored;
            QTest::addRow("%s: backup cannot return", mode)
                << atomicExchange << u"QUILLO_FAKE_OPEN_REJECT=2.0.0|QUILLO_FAKE_OPEN_TAKE_BACKUP=1"_s << openFails
                << QStringList{waiting, rollingBack, u"Rollback failed: …"_s, failed};
        }
    }

    // Success installs and reopens the new bundle and clears every leftover. A failure after the
    // wait puts the previous bundle back and reopens it; the staged bundle and the work folder stay
    // for the manager, and no hidden copy is left beside the target.
    void installs()
    {
        QFETCH(bool, atomicExchange);
        QFETCH(QString, setup);
        QFETCH(QString, message);
        QFETCH(QStringList, log);
        UpdaterTestBed bed;
        QVERIFY(arrange(bed));
        UpdaterEnvironment environment = bed.environment();
        environment.atomicExchange = atomicExchange;
        // Longer than the deadline: a manager that has already ended must cost no wait at all.
        environment.exitProbeInterval = std::chrono::seconds(30);
        qint64 manager = UpdaterTestBed::managerId;
        if (setup == u"manager alive") {
            manager = QCoreApplication::applicationPid();
            environment.exitProbeInterval = std::chrono::milliseconds(20);
            environment.exitDeadline = std::chrono::milliseconds(300);
        }
        QVERIFY(setup != u"no target" || QDir(bed.targetApp()).removeRecursively());
        QVERIFY(setup != u"staged 2.0.1" || UpdaterTestBed::writeManager(bed.stagedApp(), u"2.0.1"_s, 2));
        if (setup.startsWith(u"QUILLO_"))
            bed.steer(setup.split(u'|'));

        bed.runAndCheck(u"{install}|--parent-pid|%1"_s.arg(manager), message,
                        log.replaceInStrings(u"{pid}"_s, QString::number(manager)), environment);
        const bool copied = message.isEmpty() || log.value(1).startsWith(u"Manager update failed"_s);
        QCOMPARE(bed.fixtureRecord().filter(u"ditto "_s + bed.stagedApp()).size(), copied ? 1 : 0);
        const QString versionLeft = log.contains(u"Rollback failed: …"_s) ? QString() : message.isEmpty() ? u"2.0.0"_s : u"1.0.0"_s;
        QCOMPARE(UpdaterTestBed::versionAt(bed.targetApp()), versionLeft);
        const bool reopened = message.isEmpty() || log.contains(u"Previous manager version restored"_s);
        QCOMPARE(bed.fixtureRecord(u"opened"_s), reopened ? QStringList{bed.targetApp() + u' ' + versionLeft} : QStringList());
        QCOMPARE(bed.entries(u"{home}/Applications"_s), versionLeft.isEmpty() ? QStringList() : QStringList{u"Quillo Edge.app"_s});
        QCOMPARE(QFileInfo::exists(bed.fill(u"{cache}/work"_s)), !message.isEmpty());
        QCOMPARE(QFileInfo::exists(bed.stagedApp()), !message.isEmpty());
    }

    void waitsForTheManagerToEnd()
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
        QCOMPARE(bed.run(bed.arguments(u"{install}|--parent-pid|%1"_s.arg(manager))), 0);
        QVERIFY2(clock.elapsed() >= 400, qPrintable(QString::number(clock.elapsed())));
    }

    void stoppedAtAnyStepLeavesAWholeBundle_data()
    {
        QTest::addColumn<bool>("atomicExchange");
        QTest::addColumn<bool>("rollBack");
        for (const bool atomicExchange : {true, false}) {
            QTest::addRow("%s, installs", atomicExchange ? "exchange" : "two renames") << atomicExchange << false;
            QTest::addRow("%s, rolls back", atomicExchange ? "exchange" : "two renames") << atomicExchange << true;
        }
    }

    // A run stopped before any rename or removal of the swap, or part-way through a removal,
    // leaves a whole bundle at the target. Only the two-rename swap may leave none, and only
    // between the rename that takes the previous bundle away and the one that brings a bundle
    // in. The next update succeeds and clears what the stopped run left beside the target, and
    // nothing else.
    void stoppedAtAnyStepLeavesAWholeBundle()
    {
        QFETCH(bool, atomicExchange);
        QFETCH(bool, rollBack);
        QTemporaryDir first, second;
        if (atomicExchange && !FileSystem::exchangeItems(first.path(), second.path()))
            QSKIP("this file system cannot exchange two names");
        const QString uuid = u"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0"_s;
        QStringList unrelated{u".Quillo Edge.backup-%1.app"_s.arg(uuid), u".Quillo Edge.update-%1.app.old"_s.arg(uuid.toUpper()),
                              u"Quillo Edge.backup-%1.app"_s.arg(uuid.toUpper()), u"Quillo Edge.app"_s};
        for (int stopAt = 0; stopAt < 20; ++stopAt) {
            UpdaterTestBed bed;
            QVERIFY(arrange(bed));
            for (const QString &name : unrelated.mid(0, 3))
                QVERIFY(QDir().mkpath(bed.fill(u"{home}/Applications/"_s + name)));
            bed.steer({u"QUILLO_FAKE_OPEN_REJECT="_s + (rollBack ? u"2.*"_s : QString())});
            UpdaterEnvironment environment = bed.environment();
            environment.atomicExchange = atomicExchange;
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
            const bool betweenRenames = !atomicExchange && steps.size() >= 2 && steps.last().startsWith(u"rename "_s)
                                     && steps.at(steps.size() - 2) == u"rename "_s + bed.targetApp();
            QVERIFY2(version == u"1.0.0"_s || version == u"2.0.0"_s || (betweenRenames && !QFileInfo::exists(bed.targetApp())),
                     qPrintable(u"stopped at: "_s + steps.join(u", "_s)));
            if (!stopped)
                return;
            bed.steer({u"QUILLO_FAKE_OPEN_REJECT="_s});
            environment.beforeSwapStep = {};
            QCOMPARE(bed.run(bed.arguments(u"{install}"_s), environment), 0);
            QCOMPARE(UpdaterTestBed::versionAt(bed.targetApp()), u"2.0.0"_s);
            QStringList left = bed.entries(u"{home}/Applications"_s);
            QCOMPARE(left.size(), unrelated.size());
            for (const QString &name : unrelated)
                QVERIFY2(left.contains(name), qPrintable(name));
        }
        QFAIL("the run never ended");
    }
};

QTEST_GUILESS_MAIN(UpdaterInstallationTest)
#include "tst_updater_installation.moc"
