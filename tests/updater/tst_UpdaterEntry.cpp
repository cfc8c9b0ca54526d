#include "ManagerUpdater.h"
#include "UpdaterError.h"
#include "UpdaterTestBed.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class UpdaterEntryTest : public QObject
{
    Q_OBJECT

private slots:
    void refusesBadCommandLines_data();
    void refusesBadCommandLines();
    void readsOptions_data();
    void readsOptions();
    void acceptsOnlyPathsInsideTheUpdateCache_data();
    void acceptsOnlyPathsInsideTheUpdateCache();
    void builtProgramReportsArgumentErrors();
    void reportsWhatToolsPrint_data();
    void reportsWhatToolsPrint();
    void passesLaunchErrorsThrough();
};

// Rows are command lines split at "|"; a repeated option overrides the valid one before it.
void UpdaterEntryTest::refusesBadCommandLines_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("nothing") << QString() << u"缺少更新命令"_s;
    QTest::newRow("name without value") << u"prepare|--dmg"_s << u"更新参数格式无效：--dmg"_s;
    QTest::newRow("name without dashes") << u"prepare|dmg|x"_s << u"更新参数格式无效：dmg"_s;
    QTest::newRow("unknown command") << u"update|--a|b"_s << u"未知更新命令：update"_s;
    QTest::newRow("options parsed before the command") << u"update|--a"_s << u"更新参数格式无效：--a"_s;
    QTest::newRow("missing option") << u"prepare|--version|1"_s << u"缺少更新参数：--dmg"_s;
    QTest::newRow("empty build") << u"{prepare}|--build|"_s << u"缺少更新参数：--build"_s;
    QTest::newRow("build not a number") << u"{prepare}|--build|12a"_s << u"更新参数不是数字：--build"_s;
    QTest::newRow("staged app misnamed") << u"{prepare}|--staged-app|{cache}/work/Other.app"_s << u"暂存 App 路径无效"_s;
    QTest::newRow("staged app outside the cache") << u"{prepare}|--staged-app|{home}/Quillo Edge.app"_s
                                                  << u"更新暂存路径不安全"_s;
    QTest::newRow("target elsewhere") << u"{install}|--target-app|{home}/Desktop/Quillo Edge.app"_s
                                      << u"只允许更新“应用程序”文件夹中的 Quillo Edge"_s;
    QTest::newRow("work folder outside the cache") << u"{install}|--work-dir|{cache}/.."_s << u"更新暂存路径不安全"_s;
    for (const char *processId : {"0", "4294967297"})
        QTest::addRow("parent pid %s", processId) << u"{install}|--parent-pid|"_s + QLatin1String(processId)
                                                  << u"更新参数格式无效：--parent-pid"_s;
}

// Every malformed command line ends in its message, exit status 1, one log line and no tool run.
void UpdaterEntryTest::refusesBadCommandLines()
{
    QFETCH(QString, arguments);
    QFETCH(QString, message);
    UpdaterTestBed bed;
    QVERIFY(UpdaterTestBed::writeManager(bed.targetApp(), u"1.0.0"_s, 1));

    bed.runAndCheck(arguments.isEmpty() ? QStringList() : bed.arguments(arguments), message, {u"Updater error: "_s + message});
    QCOMPARE(bed.fixtureRecord(), QStringList());
    QCOMPARE(UpdaterTestBed::versionAt(bed.targetApp()), u"1.0.0"_s);
}

void UpdaterEntryTest::readsOptions_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("value");  // or the message of the error

    QTest::newRow("value beginning with dashes") << u"--build|--version|--version|7"_s << u"--version"_s;
    QTest::newRow("repeated option") << u"--build|1|--build|2"_s << u"2"_s;
    QTest::newRow("untrimmed") << u"--build| 2.0 "_s << u" 2.0 "_s;
    QTest::newRow("equals sign is part of the name") << u"--build=1|2"_s << u"缺少更新参数：--build"_s;
    // Read as integers:
    QTest::newRow("plus sign") << u"--build|+12|int"_s << u"12"_s;
    for (const char *value : {"9223372036854775808", "１２"})
        QTest::addRow("not a number: %s", value) << u"--build|%1|int"_s.arg(QString::fromUtf8(value))
                                                 << u"更新参数不是数字：--build"_s;
}

void UpdaterEntryTest::readsOptions()
{
    QFETCH(QString, arguments);
    QFETCH(QString, value);
    QStringList list = arguments.split(u'|');
    const bool asInteger = list.size() % 2 == 1 && list.takeLast() == u"int";
    try {
        const ParsedArguments parsed = ParsedArguments::parse(list);
        QCOMPARE(asInteger ? QString::number(parsed.requiredInt(u"--build"_s)) : parsed.required(u"--build"_s), value);
    } catch (const UpdaterError &error) {
        QCOMPARE(error.errorDescription(), value);
    }
}

void UpdaterEntryTest::acceptsOnlyPathsInsideTheUpdateCache_data()
{
    QTest::addColumn<QString>("location");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("inside") << u"{cache}/work/Quillo Edge.app"_s << true;
    QTest::newRow("the root itself") << u"{cache}"_s << false;
    QTest::newRow("the root with a trailing slash") << u"{cache}/"_s << false;
    QTest::newRow("sibling sharing the prefix") << u"{cache} 2/Quillo Edge.app"_s << false;
    QTest::newRow("escape through dot-dot") << u"{cache}/../Quillo Edge.app"_s << false;
    QTest::newRow("case differs") << u"{cache}/../quillo updates/x"_s << false;
    QTest::newRow("relative") << u"Quillo Updates/x"_s << false;
}

void UpdaterEntryTest::acceptsOnlyPathsInsideTheUpdateCache()
{
    QFETCH(QString, location);
    QFETCH(bool, accepted);
    UpdaterTestBed bed;
    UpdateLogger logger(bed.home());
    ManagerUpdater updater(bed.environment(), logger);
    try {
        updater.requireUnderUpdateCache(bed.fill(location));
        QVERIFY(accepted);
    } catch (const UpdaterError &error) {
        QVERIFY(!accepted);
        QCOMPARE(error.errorDescription(), u"更新暂存路径不安全"_s);
    }
}

// The shipped program, with a temporary home and caches folder, in a zone east of UTC.
void UpdaterEntryTest::builtProgramReportsArgumentErrors()
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, home.path());
    environment.insert(u"XDG_CACHE_HOME"_s, home.filePath(u"caches"_s));
    environment.insert(u"TZ"_s, u"Asia/Shanghai"_s);
    QProcess process;
    process.setProcessEnvironment(environment);
    const QDateTime started = QDateTime::currentDateTimeUtc().addSecs(-1);
    process.start(QStringLiteral(QUILLO_UPDATER_BINARY), {u"prepare"_s, u"--dmg"_s});
    QVERIFY(process.waitForFinished(60000));

    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(process.readAllStandardError(), "更新参数格式无效：--dmg\n"_ba);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    QFile log(home.filePath(u"Library/Logs/Quillo Edge/updater.log"_s));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString line = QString::fromUtf8(log.readAll());
    QCOMPARE(line.mid(20), u"Z] Updater error: 更新参数格式无效：--dmg\n"_s);
    QDateTime stamp = QDateTime::fromString(line.mid(1, 19), u"yyyy-MM-dd'T'HH:mm:ss"_s);
    stamp.setTimeZone(QTimeZone::utc());
    QVERIFY2(line.startsWith(u'[') && started <= stamp && stamp <= QDateTime::currentDateTimeUtc(), qPrintable(line));
}

namespace {

ProcessResult runShell(const QString &script, const QString &shell = u"/bin/sh"_s)
{
    const UpdaterTestBed bed;
    const UpdateLogger logger(bed.home());
    return ManagerUpdater(bed.environment(), logger).run(shell, {u"-c"_s, script});
}

} // namespace

void UpdaterEntryTest::reportsWhatToolsPrint_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("printed");  // standard output + "|" + standard error, or the failure

    QTest::newRow("invalid UTF-8 read as empty") << u"printf 'a\\377b'; printf '正常' >&2"_s << u"|正常"_s;
    QTest::newRow("trimmed detail") << u"echo ignored; printf ' \\n boom\\n line two \\n\\n' >&2; exit 3"_s
                                    << u"执行 /bin/sh 失败：boom\n line two"_s;
    QTest::newRow("unicode white space trimmed") << u"printf '\\343\\200\\200坏\\302\\240' >&2; exit 1"_s
                                                 << u"执行 /bin/sh 失败：坏"_s;
    QTest::newRow("no detail, no colon") << u"echo only output; exit 1"_s << u"执行 /bin/sh 失败"_s;
    QTest::newRow("killed by a signal") << u"echo dying >&2; kill -KILL $$"_s << u"执行 /bin/sh 失败：dying"_s;
}

void UpdaterEntryTest::reportsWhatToolsPrint()
{
    QFETCH(QString, script);
    QFETCH(QString, printed);
    try {
        const ProcessResult result = runShell(script);
        QCOMPARE(result.standardOutput + u'|' + result.standardError, printed);
    } catch (const UpdaterError &error) {
        QCOMPARE(error.errorCase(), UpdaterError::Case::commandFailed);
        QCOMPARE(error.errorDescription(), printed);
    }
}

void UpdaterEntryTest::passesLaunchErrorsThrough()
{
    try {
        runShell(u"exit 0"_s, u"/dev/null/no-such-tool"_s);
        QFAIL("a missing tool was run");
    } catch (const UpdaterError &) {
        QFAIL("a launch error was re-worded as an updater error");
    } catch (const UserFacingError &error) {
        QVERIFY(!error.errorDescription().isEmpty());
    }
}

QTEST_GUILESS_MAIN(UpdaterEntryTest)
#include "tst_UpdaterEntry.moc"
