#include "UpdaterTestBed.h"

#include <QtTest>

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

class UpdaterPreparationTest : public QObject
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
        QTest::newRow("unknown command") << u"update|--a|b"_s << u"未知更新命令：update"_s;
        QTest::newRow("empty build") << u"{prepare}|--build|"_s << u"缺少更新参数：--build"_s;
        QTest::newRow("value beginning with dashes") << u"{prepare}|--build|--dmg"_s << u"更新参数不是数字：--build"_s;
        QTest::newRow("staged app misnamed") << u"{prepare}|--staged-app|{cache}/work/Other.app"_s << u"暂存 App 路径无效"_s;
        QTest::newRow("staged app outside the cache") << u"{prepare}|--staged-app|{home}/Quillo Edge.app"_s << unsafe;
        QTest::newRow("target elsewhere") << u"{install}|--target-app|{home}/Desktop/Quillo Edge.app"_s << u"只允许更新“应用程序”文件夹中的 Quillo Edge"_s;
        QTest::newRow("work folder is the cache itself") << u"{install}|--work-dir|{cache}/"_s << unsafe;
        QTest::newRow("work folder beside the cache") << u"{install}|--work-dir|{cache} 2/work"_s << unsafe;
        // Numbers are plain decimal in the signed 64-bit range; a process id must fit 32 bits and be positive.
        for (const char *id : {"0", "+0", "-9223372036854775808", "9223372036854775807", "4294967297"})
            QTest::addRow("parent pid %s", id) << u"{install}|--parent-pid|"_s + QLatin1String(id) << u"更新参数格式无效：--parent-pid"_s;
        for (const char *id : {"-9223372036854775809", "9223372036854775808", "-", " 1", "1a", "１"})
            QTest::addRow("parent pid %s", id) << u"{install}|--parent-pid|"_s + QString::fromUtf8(id) << u"更新参数不是数字：--parent-pid"_s;
    }

    // Every malformed command line ends in its message on standard error, exit status 1 and one
    // log line, stamped in UTC though the zone is east of it; the shipped program is run.
    void refusesBadCommandLines()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, message);
        const UpdaterTestBed bed;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, bed.home());
        environment.insert(u"XDG_CACHE_HOME"_s, bed.environment().cachesDirectory);
        environment.insert(u"TZ"_s, u"Asia/Shanghai"_s);
        QProcess process;
        process.setProcessEnvironment(environment);
        const QString started = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
        process.start(QStringLiteral(QUILLO_UPDATER_BINARY), arguments.isEmpty() ? QStringList() : bed.arguments(arguments));
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(std::pair(process.exitStatus(), process.exitCode()), std::pair(QProcess::NormalExit, 1));
        QCOMPARE(std::pair(process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())), std::pair(QByteArray(), message + u'\n'));
        QFile log(bed.home() + u"/Library/Logs/Quillo Edge/updater.log"_s);
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString line = QString::fromUtf8(log.readAll());
        QCOMPARE(line.mid(21), u"] Updater error: "_s + message + u'\n');
        QVERIFY2(line.mid(1, 20) >= started && line.mid(1, 20) <= QDateTime::currentDateTimeUtc().toString(Qt::ISODate), qPrintable(line));
    }

    void prepares_data()
    {
        QTest::addColumn<QStringList>("setup");  // fixture settings and arrangements named in prepares()
        QTest::addColumn<QVariantMap>("info");   // changes to the image bundle's Info values
        QTest::addColumn<QString>("message");    // empty for success
        const auto row = [](const char *name, const QStringList &setup, const QString &message, const QVariantMap &info = {}) {
            QTest::newRow(name) << setup << info << message;
        };
        const auto build = [](const QVariant &value) { return QVariantMap{{u"CFBundleVersion"_s, value}}; };
        row("genuine", {}, {});
        row("numeric build", {}, {}, build(qint64(42)));
        row("build written as a whole real number", {}, {}, build(42.0));
        row("mount point reported with another spelling", {u"QUILLO_FAKE_ATTACH=spelled"_s}, {});
        row("team line on standard output", {u"QUILLO_FAKE_TEAM_ON_STDOUT=1"_s}, {});
        row("stale staged copy is replaced", {u"stale staged copy"_s}, {});
        row("log folder occupied by a file", {u"log folder occupied"_s}, {});
        row("image will not detach", {u"QUILLO_FAKE_DETACH=fail"_s}, {});
        row("image will not attach", {u"QUILLO_FAKE_ATTACH=fail"_s}, u"执行 {hdiutil} 失败：hdiutil: attach failed - image not recognized"_s);
        // An attach that went wrong is undone quietly, even when the image will not detach.
        row("mounted elsewhere", {u"QUILLO_FAKE_ATTACH=elsewhere"_s, u"QUILLO_FAKE_DETACH=fail"_s}, u"安装包中没有找到 Quillo Edge"_s);
        row("output not a property list", {u"QUILLO_FAKE_ATTACH=not-plist"_s}, u"The disk image tool's output is not a property list"_s);
        row("image without the app", {u"image app misnamed"_s}, u"安装包中没有找到 Quillo Edge"_s);
        row("wrong identifier", {}, u"App 安全校验失败：Bundle ID 不匹配"_s, {{u"CFBundleIdentifier"_s, u"dev.quillo.edge.beta"_s}});
        row("version differs, image will not detach", {u"QUILLO_FAKE_DETACH=fail"_s}, u"App 安全校验失败：版本号不匹配"_s, {{u"CFBundleShortVersionString"_s, u"2.0.1"_s}});
        row("build with leading zeros", {}, u"App 安全校验失败：构建号不匹配"_s, build(u"042"_s));
        row("build with a fraction", {}, u"App 安全校验失败：构建号不匹配"_s, build(42.5));
        row("invalid signature", {u"QUILLO_FAKE_VERIFY_REJECT=*"_s}, u"执行 {codesign} 失败：{mount}/Quillo Edge.app: a sealed resource is missing or invalid"_s);
        row("another team", {u"QUILLO_FAKE_TEAM_LINE=TeamIdentifier=ZZ99ZZ99ZZ"_s}, u"App 安全校验失败：开发者身份不匹配"_s);
        row("team inside a longer line", {u"QUILLO_FAKE_TEAM_LINE=Old TeamIdentifier=R7T2MQ94XK"_s}, u"App 安全校验失败：开发者身份不匹配"_s);
        row("assessment rejects", {u"QUILLO_FAKE_ASSESS_REJECT=*"_s}, u"执行 {spctl} 失败：{mount}/Quillo Edge.app: rejected\nsource=Unnotarized Developer ID"_s);
        row("copy fails half way", {u"QUILLO_FAKE_DITTO_FAIL=*"_s}, u"执行 {ditto} 失败：ditto: {staged}: No space left on device"_s);
        // A tool that says nothing is named alone; one that cannot be started gives the system's own error.
        row("copier fails without a word", {u"copier /bin/false"_s}, u"执行 /bin/false 失败"_s);
        row("copier cannot be started", {u"copier /dev/null/ditto"_s}, QString::fromLocal8Bit(std::strerror(ENOTDIR)));
        row("staged copy fails verification", {u"QUILLO_FAKE_VERIFY_REJECT={staged}"_s}, u"执行 {codesign} 失败：{staged}: a sealed resource is missing or invalid"_s);
    }

    // Success stages a verified copy after the full sequence of checks, on a private mount point.
    // Every outcome leaves the image detached and its mount point gone, unless the image will not
    // detach: then the mount point is left alone, not emptied. A failure keeps the staged copy
    // only once it was copied.
    void prepares()
    {
        QFETCH(QStringList, setup);
        QFETCH(QVariantMap, info);
        QFETCH(QString, message);
        UpdaterTestBed bed;
        QVariantMap bundleInfo = FakeBundle::managerInfo(u"2.0.0"_s, 42);
        bundleInfo.insert(info);
        QVERIFY(FakeBundle::write(bed.fill(setup.contains(u"image app misnamed"_s) ? u"{image}/Quillo Edge Beta.app"_s : u"{image}/Quillo Edge.app"_s), bundleInfo));
        QVERIFY(!setup.contains(u"stale staged copy"_s) || FakeBundle::write(bed.stagedApp() + u"/Contents/Stale"_s, {}));
        const bool logBlocked = setup.contains(u"log folder occupied"_s);
        QVERIFY(!logBlocked || (QDir(bed.home()).mkpath(u"Library/Logs"_s) && QFile(bed.home() + u"/Library/Logs/Quillo Edge"_s).open(QIODevice::WriteOnly)));
        UpdaterEnvironment environment = bed.environment();
        if (const QStringList copier = setup.filter(u"copier "_s); !copier.isEmpty())
            environment.tools.copier = copier.constFirst().mid(7);
        bed.steer(setup.filter(u"QUILLO_"_s));

        const bool detachFails = setup.contains(u"QUILLO_FAKE_DETACH=fail"_s);
        QStringList log{u"Preparing manager update 2.0.0 (42)"_s};
        if (message.isEmpty())
            log << u"Manager update is staged and verified"_s;
        if (detachFails && !setup.contains(u"QUILLO_FAKE_ATTACH=elsewhere"_s))
            log << u"Unable to detach update image: 执行 {hdiutil} 失败：hdiutil: couldn't unmount \"disk4\" - Resource busy"_s;
        if (!message.isEmpty())
            log << u"Updater error: {message}"_s;
        bed.runAndCheck(u"{prepare}"_s, message, logBlocked ? QStringList() : log, environment);
        const QStringList calls = bed.fixtureRecord();
        QCOMPARE(calls.constLast(), bed.fill(u"hdiutil detach {mount}"_s));
        QCOMPARE(QFileInfo::exists(bed.mountPoint() + u"/Quillo Edge.app/Contents/Info.plist"_s), detachFails);
        QCOMPARE(bed.entries(bed.environment().mountPointParent).size(), detachFails ? 1 : 0);
        QCOMPARE(QFileInfo::exists(bed.stagedApp()), message.isEmpty() || calls.contains(bed.fill(u"ditto {mount}/Quillo Edge.app {staged}"_s)));
        if (!message.isEmpty())
            return;
        QVERIFY(!QFileInfo::exists(bed.stagedApp() + u"/Contents/Stale"_s));
        const QString parent = QRegularExpression::escape(bed.environment().mountPointParent);
        QVERIFY(QRegularExpression(u"^%1/quillo-edge-update-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"_s.arg(parent)).match(bed.mountPoint()).hasMatch());
        QString expected = u"hdiutil attach -nobrowse -readonly -mountpoint {mount} -plist {image}|mount point mode drwx------"_s;
        for (const QString &bundle : {u"{mount}/Quillo Edge.app"_s, u"{staged}"_s})
            expected += u"|codesign --verify --deep --strict --verbose=2 %1|codesign --display --verbose=4 %1"
                        "|spctl --assess --type execute --verbose=2 %1"_s.arg(bundle) + (bundle == u"{staged}" ? u""_s : u"|ditto %1 {staged}"_s.arg(bundle));
        QCOMPARE(calls, bed.arguments(expected + u"|hdiutil detach {mount}"_s));
    }

    void readsInfoValues_data()
    {
        QTest::addColumn<QByteArray>("contents");  // of the Info.plist; none for a binary one holding `value`
        QTest::addColumn<QVariant>("value");       // of the key "Value"
        for (const QVariant &value : {QVariant(qint64(-7)), QVariant(true), QVariant(1.5), QVariant(u"管理器"_s)})
            QTest::addRow("binary %s", value.typeName()) << QByteArray() << value;
        const QByteArray xml = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict><key>Value</key>@</dict></plist>)";
        // A value is read as written, so the checks on it cannot be fooled or crashed by its bytes.
        QTest::newRow("string holding a NUL byte") << QByteArray(xml).replace("@", "<string>a\0</string>"_ba) << QVariant(QString::fromUtf8("a\0", 2));
        QTest::newRow("string after U+FEFF") << QByteArray(xml).replace("@", "<string>\xEF\xBB\xBF" "a</string>") << QVariant(u"\uFEFFa"_s);
        QTest::newRow("integer above the signed range") << QByteArray(xml).replace("@", "<integer>18446744073709551615</integer>") << QVariant(~0ULL);
        // An unreadable Info.plist gives no values at all.
        QTest::newRow("empty file") << ""_ba << QVariant();
        QTest::newRow("truncated binary") << QByteArray("bplist00\xd1\x01\x02", 11) << QVariant();
        QTest::newRow("root is not a dictionary") << QByteArray(xml).replace("<dict><key>Value</key>@</dict>", "<array/>") << QVariant();
    }

    void readsInfoValues()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QVariant, value);
        QTemporaryDir folder;
        const QString path = folder.filePath(u"Quillo Edge.app"_s);
        QFile file(path + u"/Contents/Info.plist"_s);
        QVERIFY(FakeBundle::write(path, {{u"Value"_s, value}}, FakeBundle::Format::Binary));
        QVERIFY(contents.isNull() || (file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() && file.flush()));
        QCOMPARE(AppBundle(path).infoValue(u"Value"_s).typeId(), value.typeId());
        QCOMPARE(AppBundle(path).infoValue(u"Value"_s), value);
    }
};

QTEST_GUILESS_MAIN(UpdaterPreparationTest)
#include "tst_updater_preparation.moc"
