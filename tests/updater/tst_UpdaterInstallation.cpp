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
    void init();
    void installsAndReopens_data();
    void installsAndReopens();
    void refusesBeforeTouchingAnything_data();
    void refusesBeforeTouchingAnything();
    void rollsBackLateFailures_data();
    void rollsBackLateFailures();
    void waitsForTheManagerToEnd();
    void doesNotWaitForAManagerThatHasEnded();
    void neverLeavesTheTargetMissing_data();
    void neverLeavesTheTargetMissing();

private:
    QString workFolder() const;
    QString stagedApp() const;
    QStringList installArguments(qint64 parentProcessId) const;
    QString fill(QString text) const;
    void checkLog(const QStringList &expected) const;

    std::unique_ptr<UpdaterTestBed> bed_;
};

void UpdaterInstallationTest::init()
{
    bed_.reset();  // its clean-up would clear the new bed's steering
    bed_ = std::make_unique<UpdaterTestBed>();
    QVERIFY(bed_->isValid());
    QVERIFY(UpdaterTestBed::writeManager(bed_->targetApp(), u"1.0.0"_s, 1));
    QVERIFY(UpdaterTestBed::writeManager(stagedApp(), u"2.0.0"_s, 2));
}

QString UpdaterInstallationTest::workFolder() const
{
    return bed_->updateCache() + u"/work"_s;
}

QString UpdaterInstallationTest::stagedApp() const
{
    return workFolder() + u"/Quillo Edge.app"_s;
}

QStringList UpdaterInstallationTest::installArguments(qint64 parentProcessId) const
{
    return {u"install"_s, u"--staged-app"_s, stagedApp(), u"--target-app"_s, bed_->targetApp(),
            u"--work-dir"_s, workFolder(), u"--version"_s, u"2.0.0"_s, u"--build"_s, u"2"_s,
            u"--parent-pid"_s, QString::number(parentProcessId)};
}

QString UpdaterInstallationTest::fill(QString text) const
{
    text.replace(u"{ditto}"_s, bed_->tool(u"fake-ditto"_s));
    text.replace(u"{codesign}"_s, bed_->tool(u"fake-codesign"_s));
    text.replace(u"{open}"_s, bed_->tool(u"fake-open"_s));
    text.replace(u"{staged}"_s, stagedApp());
    text.replace(u"{target}"_s, bed_->targetApp());
    return text;
}

// Compares the update log with expected messages; one ending in "…" need only begin alike.
void UpdaterInstallationTest::checkLog(const QStringList &expected) const
{
    const QStringList actual = bed_->logMessages();
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype index = 0; index < expected.size(); ++index) {
        if (expected[index].endsWith(u'…'))
            QVERIFY2(actual[index].startsWith(expected[index].chopped(1)), qPrintable(actual[index]));
        else
            QCOMPARE(actual[index], expected[index]);
    }
}

void UpdaterInstallationTest::installsAndReopens_data()
{
    QTest::addColumn<bool>("atomicExchange");
    QTest::addColumn<bool>("previousInstalled");
    QTest::newRow("exchange") << true << true;
    QTest::newRow("two renames") << false << true;
    QTest::newRow("nothing installed before") << true << false;
}

void UpdaterInstallationTest::installsAndReopens()
{
    QFETCH(bool, atomicExchange);
    QFETCH(bool, previousInstalled);
    if (!previousInstalled)
        QVERIFY(QDir(bed_->targetApp()).removeRecursively());
    UpdaterEnvironment environment = bed_->environment();
    environment.atomicExchange = atomicExchange;
    const qint64 manager = UpdaterTestBed::finishedProcessId();

    const UpdaterTestBed::Outcome outcome = bed_->run(installArguments(manager), environment);

    QCOMPARE(outcome.standardError, QString());
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(UpdaterTestBed::versionAt(bed_->targetApp()), u"2.0.0"_s);
    QCOMPARE(bed_->opened(), QStringList{bed_->targetApp() + u" 2.0.0"_s});
    QCOMPARE(bed_->hiddenBundles(), QStringList());
    QVERIFY(!QFileInfo::exists(workFolder()));
    checkLog({u"Waiting for manager process %1 to exit"_s.arg(manager), u"Manager update installed successfully"_s});
}

void UpdaterInstallationTest::refusesBeforeTouchingAnything_data()
{
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("waited");

    QTest::newRow("staged version differs") << u"version"_s << u"App 安全校验失败：版本号不匹配"_s << false;
    QTest::newRow("staged signature invalid") << u"signature"_s
        << u"执行 {codesign} 失败：{staged}: a sealed resource is missing or invalid"_s << false;
    QTest::newRow("staged bundle missing") << u"missing"_s << u"App 安全校验失败：Bundle ID 不匹配"_s << false;
    QTest::newRow("manager never ends") << u"alive"_s << u"旧版 Edge 管理器未能退出，更新已取消"_s << true;
}

void UpdaterInstallationTest::refusesBeforeTouchingAnything()
{
    QFETCH(QString, variant);
    QFETCH(QString, message);
    QFETCH(bool, waited);
    UpdaterEnvironment environment = bed_->environment();
    qint64 manager = UpdaterTestBed::finishedProcessId();
    if (variant == u"version")
        QVERIFY(UpdaterTestBed::writeManager(stagedApp(), u"2.0.1"_s, 2));
    else if (variant == u"signature")
        UpdaterTestBed::steer("QUILLO_FAKE_VERIFY_REJECT", stagedApp());
    else if (variant == u"missing")
        QVERIFY(QDir(stagedApp()).removeRecursively());
    else if (variant == u"alive") {
        manager = QCoreApplication::applicationPid();
        environment.exitDeadline = std::chrono::milliseconds(300);
    }

    const UpdaterTestBed::Outcome outcome = bed_->run(installArguments(manager), environment);

    message = fill(message);
    QCOMPARE(outcome.standardError, message + u'\n');
    QCOMPARE(outcome.exitCode, 1);
    QStringList log{u"Updater error: "_s + message};
    if (waited)
        log.prepend(u"Waiting for manager process %1 to exit"_s.arg(manager));
    checkLog(log);
    QCOMPARE(UpdaterTestBed::versionAt(bed_->targetApp()), u"1.0.0"_s);
    QCOMPARE(QFileInfo::exists(stagedApp()), variant != u"missing");
    QVERIFY(QFileInfo::exists(workFolder()));
    QCOMPARE(bed_->hiddenBundles(), QStringList());
    for (const QString &call : bed_->toolCalls())
        QVERIFY2(call.startsWith(u"codesign"_s) || call.startsWith(u"spctl"_s), qPrintable(call));
}

void UpdaterInstallationTest::rollsBackLateFailures_data()
{
    QTest::addColumn<bool>("atomicExchange");
    QTest::addColumn<QStringList>("steering");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("rollbackLog");
    QTest::addColumn<QString>("versionLeft");
    QTest::addColumn<QStringList>("opened");

    const QStringList untouched;
    const QStringList restored{u"Previous manager version restored"_s};
    const QStringList reopened{u"{target} 1.0.0"_s};
    for (const bool atomicExchange : {true, false}) {
        const char *mode = atomicExchange ? "exchange" : "two renames";
        QTest::addRow("%s: copy fails", mode) << atomicExchange << QStringList{u"QUILLO_FAKE_DITTO_FAIL=*"_s}
            << u"执行 {ditto} 失败：ditto: {update}: No space left on device"_s << untouched << u"1.0.0"_s << QStringList();
        QTest::addRow("%s: copy fails verification", mode) << atomicExchange
            << QStringList{u"QUILLO_FAKE_VERIFY_REJECT=*/.Quillo Edge.update-*"_s}
            << u"执行 {codesign} 失败：{update}: a sealed resource is missing or invalid"_s << untouched << u"1.0.0"_s
            << QStringList();
        QTest::addRow("%s: installed bundle fails verification", mode) << atomicExchange
            << QStringList{u"QUILLO_FAKE_VERIFY_REJECT={target}"_s}
            << u"执行 {codesign} 失败：{target}: a sealed resource is missing or invalid"_s << restored << u"1.0.0"_s
            << reopened;
        QTest::addRow("%s: new bundle will not open", mode) << atomicExchange << QStringList{u"QUILLO_FAKE_OPEN_REJECT=2.0.0"_s}
            << u"执行 {open} 失败：The application cannot be opened because it is damaged."_s << restored << u"1.0.0"_s
            << reopened;
        QTest::addRow("%s: backup cannot return", mode) << atomicExchange
            << QStringList{u"QUILLO_FAKE_OPEN_REJECT=2.0.0"_s, u"QUILLO_FAKE_OPEN_TAKE_BACKUP=1"_s}
            << u"执行 {open} 失败：The application cannot be opened because it is damaged."_s
            << QStringList{u"Rollback failed: …"_s} << QString() << QStringList();
    }
}

// After the wait, a failure puts the previous bundle back and reopens it; the staged bundle and
// the work folder stay for the manager, and no hidden copy is left beside the target.
void UpdaterInstallationTest::rollsBackLateFailures()
{
    QFETCH(bool, atomicExchange);
    QFETCH(QStringList, steering);
    QFETCH(QString, message);
    QFETCH(QStringList, rollbackLog);
    QFETCH(QString, versionLeft);
    QFETCH(QStringList, opened);
    for (QString &setting : steering)
        setting = fill(setting);
    UpdaterTestBed::steer(steering);
    UpdaterEnvironment environment = bed_->environment();
    environment.atomicExchange = atomicExchange;
    const qint64 manager = UpdaterTestBed::finishedProcessId();

    const UpdaterTestBed::Outcome outcome = bed_->run(installArguments(manager), environment);

    // The update copy's name is random; the copier was told it.
    const QRegularExpression hiddenCopy(QRegularExpression::escape(bed_->home() + u"/Applications/"_s)
                                        + uR"(\.Quillo Edge\.update-[0-9A-F-]{36}\.app$)"_s);
    QString updateCopy;
    for (const QString &call : bed_->toolCalls()) {
        if (call.startsWith(u"ditto "_s))
            updateCopy = hiddenCopy.match(call).captured();
    }
    QVERIFY(!updateCopy.isEmpty());
    message = fill(message).replace(u"{update}"_s, updateCopy);
    QCOMPARE(outcome.standardError, message + u'\n');
    QCOMPARE(outcome.exitCode, 1);
    checkLog(QStringList{u"Waiting for manager process %1 to exit"_s.arg(manager),
                         u"Manager update failed; rolling back: "_s + message}
             + rollbackLog + QStringList{u"Updater error: "_s + message});
    QCOMPARE(UpdaterTestBed::versionAt(bed_->targetApp()), versionLeft);
    QCOMPARE(bed_->opened(), opened.replaceInStrings(u"{target}"_s, bed_->targetApp()));
    QCOMPARE(bed_->hiddenBundles(), QStringList());
    QVERIFY(QFileInfo::exists(stagedApp()));
    QVERIFY(QFileInfo::exists(workFolder()));
}

void UpdaterInstallationTest::waitsForTheManagerToEnd()
{
    // Started and reaped here rather than through QProcess, which leaves its ended children
    // unreaped until asked, and a zombie still answers the probe.
    const char *const arguments[] = {"/bin/sleep", "0.5", nullptr};
    pid_t manager = 0;
    QCOMPARE(::posix_spawn(&manager, arguments[0], nullptr, nullptr, const_cast<char *const *>(arguments), environ), 0);
    std::thread reaper([manager] { ::waitpid(manager, nullptr, 0); });
    QElapsedTimer clock;
    clock.start();

    const UpdaterTestBed::Outcome outcome = bed_->run(installArguments(manager));
    reaper.join();

    QCOMPARE(outcome.exitCode, 0);
    QVERIFY2(clock.elapsed() >= 400, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(UpdaterTestBed::versionAt(bed_->targetApp()), u"2.0.0"_s);
}

void UpdaterInstallationTest::doesNotWaitForAManagerThatHasEnded()
{
    UpdaterEnvironment environment = bed_->environment();
    environment.exitProbeInterval = std::chrono::seconds(30);
    QElapsedTimer clock;
    clock.start();

    const UpdaterTestBed::Outcome outcome = bed_->run(installArguments(UpdaterTestBed::finishedProcessId()), environment);

    QCOMPARE(outcome.exitCode, 0);
    QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
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
    const QString probeA = bed_->home() + u"/Applications/a"_s;
    const QString probeB = bed_->home() + u"/Applications/b"_s;
    QVERIFY(QDir().mkpath(probeA) && QDir().mkpath(probeB));
    if (!FileSystem::exchangeItems(probeA, probeB))
        QSKIP("this file system cannot exchange two names");
    QVERIFY(QDir(probeA).removeRecursively() && QDir(probeB).removeRecursively());
    if (rollBack)
        UpdaterTestBed::steer("QUILLO_FAKE_OPEN_REJECT", u"2.*"_s);

    const QByteArray watched = (bed_->targetApp() + u"/Contents/Info.plist"_s).toLocal8Bit();
    std::atomic<bool> stop = false;
    std::atomic<int> probes = 0;
    std::atomic<int> misses = 0;
    std::thread watcher([&] {
        while (!stop) {
            if (::access(watched.constData(), F_OK) != 0)
                ++misses;
            ++probes;
        }
    });
    for (int round = 0; round < 12; ++round) {
        const QString version = u"2.0.%1"_s.arg(round);
        QVERIFY(UpdaterTestBed::writeManager(stagedApp(), version, 2));
        QStringList arguments = installArguments(UpdaterTestBed::finishedProcessId());
        arguments[arguments.indexOf(u"--version"_s) + 1] = version;
        QCOMPARE(bed_->run(arguments).exitCode, rollBack ? 1 : 0);
        QCOMPARE(UpdaterTestBed::versionAt(bed_->targetApp()), rollBack ? u"1.0.0"_s : version);
    }
    stop = true;
    watcher.join();

    QVERIFY(probes > 0);
    QCOMPARE(misses.load(), 0);
    QCOMPARE(bed_->hiddenBundles(), QStringList());
}

QTEST_GUILESS_MAIN(UpdaterInstallationTest)
#include "tst_UpdaterInstallation.moc"
