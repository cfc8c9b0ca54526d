#include "FileSystem.h"
#include "UpdaterTestBed.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

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
        QTest::newRow("manager never ends") << true << u"manager alive"_s << u"旧版 Edge 管理器未能退出，更新已取消"_s << QStringList{waiting, failed};
        // After the wait: rolled back.
        QTest::newRow("installed bundle fails verification") << false << u"QUILLO_FAKE_VERIFY_REJECT={target}"_s
                                                             << u"执行 {codesign} 失败：{target}: a sealed resource is missing or invalid"_s << restored;
        QTest::newRow("copy fails") << true << u"QUILLO_FAKE_DITTO_FAIL=*"_s << u"执行 {ditto} 失败：ditto: {home}/Applications/.Quillo Edge.update-…: No space left on device"_s
                                    << QStringList{waiting, rollingBack, failed};
        for (const bool exchange : {true, false}) {
            const char *mode = exchange ? "exchange" : "two renames";
            QTest::addRow("%s: new bundle will not open", mode) << exchange << u"QUILLO_FAKE_OPEN_REJECT=2.0.0"_s << openFails << restored;
            QTest::addRow("%s: backup cannot return", mode) << exchange << u"QUILLO_FAKE_OPEN_REJECT=2.0.0|QUILLO_FAKE_OPEN_TAKE_BACKUP=1"_s << openFails
                                                            << QStringList{waiting, rollingBack, u"Rollback failed: …"_s, failed};
        }
    }

    // Success installs and reopens the new bundle, and clears what earlier runs left beside the
    // target and nothing else. A failure after the wait puts the previous bundle back and reopens
    // it; the staged bundle and the work folder stay for the manager.
    // The same run stopped at any rename or removal of the swap, or part-way through a removal,
    // leaves a whole bundle at the target. Only the two-rename swap may leave none, and only
    // between the rename that takes a bundle away and the one that brings one in. The next update
    // then succeeds and leaves nothing hidden behind.
    void installs()
    {
        QFETCH(bool, atomicExchange);
        QFETCH(QString, setup);
        QFETCH(QString, message);
        QFETCH(QStringList, log);
        QTemporaryDir first, second;
        if (atomicExchange && !FileSystem::exchangeItems(first.path(), second.path()))
            QSKIP("this file system cannot exchange two names");
        const QSet<QString> unrelated{u".Quillo Edge.update-0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0.app"_s, u"Quillo Edge.backup-0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.app"_s,
                                      u".Quillo Edge.update-0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.app.old"_s};
        const QStringList settings = setup.startsWith(u"QUILLO_") ? setup.split(u'|') : QStringList();
        const qint64 manager = setup == u"manager alive" ? QCoreApplication::applicationPid() : UpdaterTestBed::managerId;
        log.replaceInStrings(u"{pid}"_s, QString::number(manager));
        for (int stopAt = 0; stopAt < 20; ++stopAt) {
            UpdaterTestBed bed;  // with version 1.0.0 installed and 2.0.0 (build 2) staged
            QVERIFY(UpdaterTestBed::writeManager(bed.targetApp(), u"1.0.0"_s, 1) && UpdaterTestBed::writeManager(bed.stagedApp(), u"2.0.0"_s, 2));
            for (const QString &name : unrelated)
                QVERIFY(QDir().mkpath(bed.home() + u"/Applications/"_s + name));
            QVERIFY(setup != u"no target" || QDir(bed.targetApp()).removeRecursively());
            QVERIFY(setup != u"staged 2.0.1" || UpdaterTestBed::writeManager(bed.stagedApp(), u"2.0.1"_s, 2));
            bed.steer(settings);
            UpdaterEnvironment environment = bed.environment();
            environment.atomicExchange = atomicExchange;
            // Longer than the deadline: a manager that has already ended must cost no wait at all.
            environment.exitProbeInterval = std::chrono::seconds(30);
            if (setup == u"manager alive")
                environment.exitDeadline = environment.exitProbeInterval = std::chrono::milliseconds(300);
            QStringList steps;
            environment.beforeSwapStep = [&](SwapStep step, const QString &path) {
                steps << (step == SwapStep::rename ? u"rename "_s : u"remove "_s) + path;
                if (steps.size() > stopAt && step == SwapStep::remove)
                    QFile::remove(path + u"/Contents/Info.plist"_s);
                if (steps.size() > stopAt)
                    throw Stopped();
            };
            try {
                bed.runAndCheck(u"{install}|--parent-pid|%1"_s.arg(manager), message, log, environment);
            } catch (const Stopped &) {
                const QString version = UpdaterTestBed::versionAt(bed.targetApp());
                const bool betweenRenames = steps.size() >= 2 && steps.last().startsWith(u"rename "_s)
                                         && steps.at(steps.size() - 2) == u"rename "_s + bed.targetApp();
                // Nothing stands there before the first install, nor once the backup is taken away.
                const bool mayBeEmpty = setup == u"no target" || setup.contains(u"TAKE_BACKUP") || (betweenRenames && !atomicExchange);
                QVERIFY2(version == u"1.0.0"_s || version == u"2.0.0"_s || (mayBeEmpty && !QFileInfo::exists(bed.targetApp())),
                         qPrintable(u"stopped at: "_s + steps.join(u", "_s)));
                for (const QString &setting : settings)
                    bed.steer({setting.section(u'=', 0, 0) + u'='});
                environment.beforeSwapStep = {};
                QCOMPARE(bed.run(bed.arguments(u"{install}"_s), environment), 0);
                QCOMPARE(UpdaterTestBed::versionAt(bed.targetApp()), u"2.0.0"_s);
                QCOMPARE(bed.entries(u"{home}/Applications"_s), unrelated + QSet<QString>{u"Quillo Edge.app"_s});
                continue;
            }
            const QString versionLeft = log.contains(u"Rollback failed: …"_s) ? QString() : message.isEmpty() ? u"2.0.0"_s : u"1.0.0"_s;
            QCOMPARE(UpdaterTestBed::versionAt(bed.targetApp()), versionLeft);
            const bool reopened = message.isEmpty() || log.contains(u"Previous manager version restored"_s);
            QCOMPARE(bed.fixtureRecord(u"opened"_s), reopened ? QStringList{bed.targetApp() + u' ' + versionLeft} : QStringList());
            QCOMPARE(bed.entries(u"{home}/Applications"_s), versionLeft.isEmpty() ? unrelated : unrelated + QSet<QString>{u"Quillo Edge.app"_s});
            QCOMPARE(QFileInfo::exists(bed.fill(u"{cache}/work"_s)), !message.isEmpty());
            QCOMPARE(QFileInfo::exists(bed.stagedApp()), !message.isEmpty());
            return;
        }
        QFAIL("the run never ended");
    }
};

QTEST_GUILESS_MAIN(UpdaterInstallationTest)
#include "tst_updater_installation.moc"
