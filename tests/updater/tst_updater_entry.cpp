#include "ManagerUpdater.h"
#include "UpdaterError.h"
#include "UpdaterTestBed.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class UpdaterEntryTest : public QObject
{
    Q_OBJECT

private slots:
    // Rows are command lines split at "|"; a repeated option overrides the valid one before it.
    void refusesBadCommandLines_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("message");
        const QString unsafe = u"更新暂存路径不安全"_s;
        QTest::newRow("nothing") << QString() << u"缺少更新命令"_s;
        QTest::newRow("name without value") << u"prepare|--dmg"_s << u"更新参数格式无效：--dmg"_s;
        QTest::newRow("equals sign is part of the name") << u"prepare|--dmg=x|y"_s << u"缺少更新参数：--dmg"_s;
        QTest::newRow("unknown command") << u"update|--a|b"_s << u"未知更新命令：update"_s;
        QTest::newRow("empty build") << u"{prepare}|--build|"_s << u"缺少更新参数：--build"_s;
        QTest::newRow("value beginning with dashes") << u"{prepare}|--build|--dmg"_s << u"更新参数不是数字：--build"_s;
        QTest::newRow("staged app misnamed") << u"{prepare}|--staged-app|{cache}/work/Other.app"_s << u"暂存 App 路径无效"_s;
        QTest::newRow("staged app outside the cache") << u"{prepare}|--staged-app|{home}/Quillo Edge.app"_s << unsafe;
        QTest::newRow("target elsewhere") << u"{install}|--target-app|{home}/Desktop/Quillo Edge.app"_s
                                          << u"只允许更新“应用程序”文件夹中的 Quillo Edge"_s;
        QTest::newRow("work folder is the cache itself") << u"{install}|--work-dir|{cache}/"_s << unsafe;
        QTest::newRow("work folder beside the cache") << u"{install}|--work-dir|{cache} 2/work"_s << unsafe;
        // Numbers are plain decimal in the signed 64-bit range; a process id must fit 32 bits and be positive.
        for (const char *id : {"0", "+0", "-9223372036854775808", "9223372036854775807", "4294967297"})
            QTest::addRow("parent pid %s", id) << u"{install}|--parent-pid|"_s + QLatin1String(id)
                                               << u"更新参数格式无效：--parent-pid"_s;
        for (const char *id : {"-9223372036854775809", "9223372036854775808", "-", " 1", "1a", "１"})
            QTest::addRow("parent pid %s", id) << u"{install}|--parent-pid|"_s + QString::fromUtf8(id)
                                               << u"更新参数不是数字：--parent-pid"_s;
    }

    // Every malformed command line ends in its message, exit status 1, one log line and no tool run.
    void refusesBadCommandLines()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, message);
        UpdaterTestBed bed;
        QVERIFY(UpdaterTestBed::writeManager(bed.targetApp(), u"1.0.0"_s, 1));
        bed.runAndCheck(arguments, message, {u"Updater error: "_s + message});
        QCOMPARE(bed.fixtureRecord(), QStringList());
        QCOMPARE(UpdaterTestBed::versionAt(bed.targetApp()), u"1.0.0"_s);
    }

    // The shipped program, with a temporary home and caches folder, in a zone east of UTC.
    void builtProgramReportsArgumentErrors()
    {
        QTemporaryDir home;
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, home.path());
        environment.insert(u"XDG_CACHE_HOME"_s, home.filePath(u"caches"_s));
        environment.insert(u"TZ"_s, u"Asia/Shanghai"_s);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        const QString started = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
        process.start(QStringLiteral(QUILLO_UPDATER_BINARY), {u"prepare"_s, u"--dmg"_s});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(process.readAll(), "更新参数格式无效：--dmg\n"_ba);
        QFile log(home.filePath(u"Library/Logs/Quillo Edge/updater.log"_s));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString line = QString::fromUtf8(log.readAll());
        QCOMPARE(line.mid(21), u"] Updater error: 更新参数格式无效：--dmg\n"_s);
        QVERIFY2(line.mid(1, 20) >= started && line.mid(1, 20) <= QDateTime::currentDateTimeUtc().toString(Qt::ISODate), qPrintable(line));
    }

    void reportsWhatToolsPrint_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("printed");  // standard output + "|" + standard error, or the failure
        QTest::newRow("invalid UTF-8 read as empty") << u"printf 'a\\377b'; printf '正常' >&2"_s << u"|正常"_s;
        QTest::newRow("unicode white space trimmed") << u"printf '\\343\\200\\200坏\\302\\240' >&2; exit 1"_s
                                                     << u"执行 /bin/sh 失败：坏"_s;
        QTest::newRow("no detail, no colon") << u"echo only output; exit 1"_s << u"执行 /bin/sh 失败"_s;
        QTest::newRow("killed by a signal") << u"echo dying >&2; kill -KILL $$"_s << u"执行 /bin/sh 失败：dying"_s;
        QTest::newRow("launch error passed on") << QString() << u"system error"_s;
    }

    void reportsWhatToolsPrint()
    {
        QFETCH(QString, script);
        QFETCH(QString, printed);
        const UpdaterTestBed bed;
        const UpdateLogger logger(bed.home());
        ManagerUpdater updater(bed.environment(), logger);
        try {
            const ProcessResult result = updater.run(script.isNull() ? u"/dev/null/no-tool"_s : u"/bin/sh"_s, {u"-c"_s, script});
            QCOMPARE(result.standardOutput + u'|' + result.standardError, printed);
        } catch (const UpdaterError &error) {
            QCOMPARE(error.errorCase(), UpdaterError::Case::commandFailed);
            QCOMPARE(error.errorDescription(), printed);
        } catch (const SystemError &) {
            QCOMPARE(u"system error"_s, printed);
        }
    }
};

QTEST_GUILESS_MAIN(UpdaterEntryTest)
#include "tst_updater_entry.moc"
