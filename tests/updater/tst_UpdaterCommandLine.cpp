#include "ManagerUpdater.h"
#include "ParsedArguments.h"
#include "UpdaterError.h"
#include "UpdaterTestBed.h"

#include <QtTest>

class UpdaterCommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void refusesBadCommandLines_data();
    void refusesBadCommandLines();
    void readsOptionValuesAsPassed_data();
    void readsOptionValuesAsPassed();
    void readsIntegersStrictly_data();
    void readsIntegersStrictly();
    void acceptsOnlyPathsInsideTheUpdateCache_data();
    void acceptsOnlyPathsInsideTheUpdateCache();
};

void UpdaterCommandLineTest::refusesBadCommandLines_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    const QString cache = QStringLiteral("{cache}");
    const QString staged = cache + QStringLiteral("/work/Quillo Edge.app");
    const QString target = QStringLiteral("{home}/Applications/Quillo Edge.app");
    const QStringList prepare{QStringLiteral("--dmg"), QStringLiteral("/tmp/update.dmg"),
                              QStringLiteral("--staged-app"), staged, QStringLiteral("--version"),
                              QStringLiteral("2.0.0"), QStringLiteral("--build"), QStringLiteral("42")};
    const QStringList install{QStringLiteral("--staged-app"), staged, QStringLiteral("--target-app"), target,
                              QStringLiteral("--work-dir"), cache + QStringLiteral("/work"),
                              QStringLiteral("--version"), QStringLiteral("2.0.0"), QStringLiteral("--build"),
                              QStringLiteral("42"), QStringLiteral("--parent-pid"), QStringLiteral("{pid}")};
    const auto with = [](QString command, QStringList options, const QString &name, const QString &value) {
        options.append({name, value});
        options.prepend(command);
        return options;
    };

    QTest::newRow("nothing") << QStringList{} << QStringLiteral("缺少更新命令");
    QTest::newRow("name without value") << QStringList{QStringLiteral("prepare"), QStringLiteral("--dmg")}
                                        << QStringLiteral("更新参数格式无效：--dmg");
    QTest::newRow("name without dashes") << QStringList{QStringLiteral("prepare"), QStringLiteral("dmg"), QStringLiteral("x")}
                                         << QStringLiteral("更新参数格式无效：dmg");
    QTest::newRow("lone dash as name") << QStringList{QStringLiteral("prepare"), QStringLiteral("-"), QStringLiteral("x")}
                                       << QStringLiteral("更新参数格式无效：-");
    QTest::newRow("unknown command") << QStringList{QStringLiteral("update"), QStringLiteral("--a"), QStringLiteral("b")}
                                     << QStringLiteral("未知更新命令：update");
    QTest::newRow("options parsed before the command")
        << QStringList{QStringLiteral("update"), QStringLiteral("--a")} << QStringLiteral("更新参数格式无效：--a");
    QTest::newRow("command is case-sensitive") << QStringList{QStringLiteral("Prepare")} + prepare
                                               << QStringLiteral("未知更新命令：Prepare");
    QTest::newRow("missing option") << QStringList{QStringLiteral("prepare"), QStringLiteral("--version"), QStringLiteral("1")}
                                    << QStringLiteral("缺少更新参数：--dmg");
    QTest::newRow("empty build") << with(QStringLiteral("prepare"), prepare, QStringLiteral("--build"), QString())
                                 << QStringLiteral("缺少更新参数：--build");
    QTest::newRow("build not a number") << with(QStringLiteral("prepare"), prepare, QStringLiteral("--build"), QStringLiteral("12a"))
                                        << QStringLiteral("更新参数不是数字：--build");
    QTest::newRow("staged app misnamed")
        << with(QStringLiteral("prepare"), prepare, QStringLiteral("--staged-app"), cache + QStringLiteral("/work/Other.app"))
        << QStringLiteral("暂存 App 路径无效");
    QTest::newRow("staged app outside the cache")
        << with(QStringLiteral("prepare"), prepare, QStringLiteral("--staged-app"), QStringLiteral("{home}/Quillo Edge.app"))
        << QStringLiteral("更新暂存路径不安全");
    QTest::newRow("target elsewhere")
        << with(QStringLiteral("install"), install, QStringLiteral("--target-app"), QStringLiteral("{home}/Desktop/Quillo Edge.app"))
        << QStringLiteral("只允许更新“应用程序”文件夹中的 Quillo Edge");
    QTest::newRow("work folder outside the cache")
        << with(QStringLiteral("install"), install, QStringLiteral("--work-dir"), cache + QStringLiteral("/.."))
        << QStringLiteral("更新暂存路径不安全");
    QTest::newRow("install staged app misnamed")
        << with(QStringLiteral("install"), install, QStringLiteral("--staged-app"), cache + QStringLiteral("/work/x.app"))
        << QStringLiteral("暂存 App 路径无效");
    QTest::newRow("parent pid zero") << with(QStringLiteral("install"), install, QStringLiteral("--parent-pid"), QStringLiteral("0"))
                                     << QStringLiteral("更新参数格式无效：--parent-pid");
    QTest::newRow("parent pid negative") << with(QStringLiteral("install"), install, QStringLiteral("--parent-pid"), QStringLiteral("-1"))
                                         << QStringLiteral("更新参数格式无效：--parent-pid");
    QTest::newRow("parent pid one beyond 32 bits")
        << with(QStringLiteral("install"), install, QStringLiteral("--parent-pid"), QStringLiteral("2147483648"))
        << QStringLiteral("更新参数格式无效：--parent-pid");
    QTest::newRow("parent pid beyond 32 bits")
        << with(QStringLiteral("install"), install, QStringLiteral("--parent-pid"), QStringLiteral("4294967297"))
        << QStringLiteral("更新参数格式无效：--parent-pid");
}

// Every malformed command line ends in its message, exit status 1, one log line and no tool run.
void UpdaterCommandLineTest::refusesBadCommandLines()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    UpdaterTestBed bed;
    QVERIFY(bed.isValid());
    QVERIFY(UpdaterTestBed::writeManager(bed.targetApp(), QStringLiteral("1.0.0"), 1));
    arguments.replaceInStrings(QStringLiteral("{cache}"), bed.updateCache());
    arguments.replaceInStrings(QStringLiteral("{home}"), bed.home());
    arguments.replaceInStrings(QStringLiteral("{pid}"), QString::number(UpdaterTestBed::finishedProcessId()));

    const UpdaterTestBed::Outcome outcome = bed.run(arguments);

    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.standardError, message + u'\n');
    QCOMPARE(bed.logMessages(), QStringList{QStringLiteral("Updater error: ") + message});
    QCOMPARE(bed.toolCalls(), QStringList());
    QCOMPARE(UpdaterTestBed::versionAt(bed.targetApp()), QStringLiteral("1.0.0"));
}

void UpdaterCommandLineTest::readsOptionValuesAsPassed_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");

    QTest::newRow("value that looks like a name")
        << QStringList{QStringLiteral("--version"), QStringLiteral("--build"), QStringLiteral("--build"), QStringLiteral("7")}
        << QStringLiteral("--version") << QStringLiteral("--build");
    QTest::newRow("repeated option keeps the later value")
        << QStringList{QStringLiteral("--version"), QStringLiteral("1"), QStringLiteral("--version"), QStringLiteral("2")}
        << QStringLiteral("--version") << QStringLiteral("2");
    QTest::newRow("untrimmed") << QStringList{QStringLiteral("--version"), QStringLiteral(" 2.0 ")}
                               << QStringLiteral("--version") << QStringLiteral(" 2.0 ");
    QTest::newRow("equals sign is part of the name")
        << QStringList{QStringLiteral("--version=1"), QStringLiteral("2")} << QStringLiteral("--version=1") << QStringLiteral("2");
}

void UpdaterCommandLineTest::readsOptionValuesAsPassed()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, name);
    QFETCH(QString, value);
    QCOMPARE(ParsedArguments::parse(arguments).required(name), value);
}

void UpdaterCommandLineTest::readsIntegersStrictly_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<qint64>("number");

    QTest::newRow("plain") << QStringLiteral("12") << true << qint64(12);
    QTest::newRow("plus sign") << QStringLiteral("+12") << true << qint64(12);
    QTest::newRow("leading zeros") << QStringLiteral("007") << true << qint64(7);
    QTest::newRow("lowest") << QStringLiteral("-9223372036854775808") << true << std::numeric_limits<qint64>::min();
    QTest::newRow("highest") << QStringLiteral("9223372036854775807") << true << std::numeric_limits<qint64>::max();
    QTest::newRow("beyond highest") << QStringLiteral("9223372036854775808") << false << qint64(0);
    QTest::newRow("beyond lowest") << QStringLiteral("-9223372036854775809") << false << qint64(0);
    QTest::newRow("trailing letter") << QStringLiteral("12a") << false << qint64(0);
    QTest::newRow("leading space") << QStringLiteral(" 12") << false << qint64(0);
    QTest::newRow("lone minus") << QStringLiteral("-") << false << qint64(0);
    QTest::newRow("two signs") << QStringLiteral("+-1") << false << qint64(0);
    QTest::newRow("full-width digits") << QStringLiteral("１２") << false << qint64(0);
    QTest::newRow("hexadecimal") << QStringLiteral("0x10") << false << qint64(0);
}

void UpdaterCommandLineTest::readsIntegersStrictly()
{
    QFETCH(QString, value);
    QFETCH(bool, accepted);
    QFETCH(qint64, number);
    const ParsedArguments arguments = ParsedArguments::parse({QStringLiteral("--build"), value});
    try {
        QCOMPARE(arguments.requiredInt(QStringLiteral("--build")), number);
        QVERIFY(accepted);
    } catch (const UpdaterError &error) {
        QVERIFY(!accepted);
        QCOMPARE(error.errorDescription(), QStringLiteral("更新参数不是数字：--build"));
    }
}

void UpdaterCommandLineTest::acceptsOnlyPathsInsideTheUpdateCache_data()
{
    QTest::addColumn<QString>("location");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("inside") << QStringLiteral("{cache}/work/Quillo Edge.app") << true;
    QTest::newRow("inside after a harmless dot-dot") << QStringLiteral("{cache}/a/../b") << true;
    QTest::newRow("the root itself") << QStringLiteral("{cache}") << false;
    QTest::newRow("the root with a trailing slash") << QStringLiteral("{cache}/") << false;
    QTest::newRow("the root through a dot") << QStringLiteral("{cache}/.") << false;
    QTest::newRow("sibling sharing the prefix") << QStringLiteral("{cache} 2/Quillo Edge.app") << false;
    QTest::newRow("escape through dot-dot") << QStringLiteral("{cache}/../Quillo Edge.app") << false;
    QTest::newRow("deep escape") << QStringLiteral("{cache}/work/../../../Applications") << false;
    QTest::newRow("case differs") << QStringLiteral("{caches}/quillo updates/x") << false;
    QTest::newRow("relative") << QStringLiteral("Quillo Updates/x") << false;
}

void UpdaterCommandLineTest::acceptsOnlyPathsInsideTheUpdateCache()
{
    QFETCH(QString, location);
    QFETCH(bool, accepted);
    UpdaterTestBed bed;
    QVERIFY(bed.isValid());
    location.replace(QStringLiteral("{cache}"), bed.updateCache());
    location.replace(QStringLiteral("{caches}"), bed.environment().cachesDirectory);
    UpdateLogger logger(bed.home());
    ManagerUpdater updater(bed.environment(), logger);
    try {
        updater.requireUnderUpdateCache(location);
        QVERIFY(accepted);
    } catch (const UpdaterError &error) {
        QVERIFY(!accepted);
        QCOMPARE(error.errorDescription(), QStringLiteral("更新暂存路径不安全"));
    }
}

QTEST_GUILESS_MAIN(UpdaterCommandLineTest)
#include "tst_UpdaterCommandLine.moc"
