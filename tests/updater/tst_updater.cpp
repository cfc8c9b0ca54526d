#include "FakeBundle.h"
#include "FileSystem.h"
#include "Fixtures.h"
#include "release/ManagerUpdatePolicy.h"
#include "UpdaterEntry.h"
#include "UpdaterEnvironment.h"
#include "bundle/AppBundle.h"

#include <QBuffer>
#include <QtTest>

#include <cerrno>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 managerId = 2147483647;  // a process id no system hands out

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Checks that the text is the pattern, where "…" stands for any text within a line.
void compareToPattern(const QString &text, const QString &pattern)
{
    const QString expression = QRegularExpression::escape(pattern).replace(u"\\…"_s, u"[^\n]*"_s);
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(expression)).match(text).hasMatch(),
             qPrintable(u"\n%1\nis not like\n%2"_s.arg(text, pattern)));
}

bool writeManager(const QString &path, const QString &version, qint64 build)
{
    return FakeBundle::write(path, FakeBundle::managerInfo(version, build));
}
QString versionAt(const QString &path) { return AppBundle(path).infoValue(u"CFBundleShortVersionString"_s).toString(); }

// Not a std::exception, so nothing in the updater catches it: the run ends there, as if killed.
struct Stopped {};

// A temporary home, caches folder and mount point parent for one updater run, with fixture tools that record their
// calls.
class UpdaterTestBed
{
public:
    UpdaterTestBed()
    {
        for (const char *folder : {"home/Applications", "caches", "mounts"})
            QDir(root_.path()).mkpath(QString::fromLatin1(folder));
        steer({u"QUILLO_FAKE_TEAM_LINE=TeamIdentifier={team}"_s,
               u"QUILLO_FIXTURE_CALLS="_s + root_.filePath(u"calls"_s),
               u"QUILLO_FAKE_OPENED="_s + root_.filePath(u"opened"_s)});
    }

    ~UpdaterTestBed()  // forgets the settings made with steer()
    {
        for (const QByteArray &name : steered_)
            qunsetenv(name.constData());
    }

    UpdaterEnvironment environment() const
    {
        UpdaterEnvironment environment;
        environment.homeDirectory = fill(u"{home}"_s);
        environment.cachesDirectory = root_.filePath(u"caches"_s);
        environment.mountPointParent = root_.filePath(u"mounts"_s);
        environment.tools
            = {fill(u"{hdiutil}"_s), fill(u"{ditto}"_s), fill(u"{codesign}"_s), fill(u"{spctl}"_s), fill(u"{open}"_s)};
        return environment;
    }

    QString targetApp() const { return fill(u"{target}"_s); }
    QString stagedApp() const { return fill(u"{staged}"_s); }

    QString mountPoint() const  // the one the disk-image tool was asked to use
    {
        return fixtureRecord().filter(QRegularExpression(u"^hdiutil attach "_s)).value(0).split(u' ').value(5);
    }

    // Puts this bed's values for {prepare} and {install} (valid command lines), {home}, {cache}, {staged}, {target},
    // {image}, {log}, {mount} and {<tool>}.
    QString fill(QString text) const
    {
        text.replace(u"{prepare}"_s, u"prepare|--dmg|{image}|--staged-app|{staged}|--version|2.0.0|--build|42"_s);
        text.replace(u"{install}"_s, u"install|--staged-app|{staged}|--target-app|{target}|--work-dir|{cache}/work"
                                     "|--version|2.0.0|--build|2|--parent-pid|%1"_s.arg(managerId));
        text.replace(u"{staged}"_s, u"{cache}/work/Quillo Edge.app"_s);
        text.replace(u"{cache}"_s, root_.filePath(u"caches/Quillo Updates"_s));
        text.replace(u"{target}"_s, u"{home}/Applications/Quillo Edge.app"_s);
        text.replace(u"{image}"_s, u"{home}/image"_s);
        text.replace(u"{log}"_s, u"{home}/Library/Logs/Quillo Edge/updater.log"_s);
        text.replace(u"{home}"_s, root_.filePath(u"home"_s));
        text.replace(u"{mount}"_s, mountPoint());
        text.replace(u"{team}"_s, ManagerUpdatePolicy::teamIdentifier);
        for (const char *tool : {"hdiutil", "ditto", "codesign", "spctl", "open"})
            text.replace(u"{%1}"_s.arg(QLatin1String(tool)), fixturePath(u"fake-"_s + QLatin1String(tool)));
        return text;
    }

    QStringList arguments(const QString &line) const { return fill(line).split(u'|'); }

    void steer(const QStringList &settings)  // "NAME=value" for the fixture tools, filled
    {
        for (const QString &setting : settings) {
            steered_.append(setting.section(u'=', 0, 0).toUtf8());
            qputenv(steered_.constLast().constData(), fill(setting.section(u'=', 1)).toUtf8());
        }
    }

    // Runs the updater in-process and checks that it failed with `message` (or succeeded) and
    // logged `log`, where {message} is the message and "…" any text within a line.
    void runAndCheck(const QString &arguments, const QString &message, const QStringList &log,
                     const UpdaterEnvironment &environment) const
    {
        QByteArray standardError;
        QBuffer buffer(&standardError);
        buffer.open(QIODevice::WriteOnly);
        QCOMPARE(updaterEntry(this->arguments(arguments), environment, buffer), message.isEmpty() ? 0 : 1);
        compareToPattern(QString::fromUtf8(standardError), message.isEmpty() ? QString() : fill(message) + u'\n');
        // Each line is stamped in UTC; a message may go on over further lines.
        static const QRegularExpression stamp(uR"(^\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ\] )"_s,
                                              QRegularExpression::MultilineOption);
        const QString messages = fill(log.join(u'\n')).replace(u"{message}"_s, fill(message));
        compareToPattern(readText(fill(u"{log}"_s)).remove(stamp), messages + u'\n');
    }

    QStringList fixtureRecord(const QString &name = u"calls"_s) const  // or "opened"
    {
        return readText(root_.filePath(name)).split(u'\n', Qt::SkipEmptyParts);
    }

    QSet<QString> entries(const QString &folder) const  // including hidden ones
    {
        const QStringList names
            = QDir(fill(folder)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden | QDir::System);
        return QSet<QString>(names.begin(), names.end());
    }

private:
    QTemporaryDir root_;
    QList<QByteArray> steered_;
};

} // namespace

class UpdaterTest : public QObject
{
    Q_OBJECT

private slots:
    // Rows are command lines split at "|"; a repeated option overrides the valid one before it.
    void refusesBadCommandLines_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing") << QString() << u"缺少更新命令"_s;
        QTest::newRow("empty build") << u"{prepare}|--build|"_s << u"缺少更新参数：--build"_s;
        QTest::newRow("value beginning with dashes") << u"{prepare}|--build|--dmg"_s << u"更新参数不是数字：--build"_s;
        QTest::newRow("staged app misnamed")
            << u"{prepare}|--staged-app|{cache}/work/Other.app"_s << u"暂存 App 路径无效"_s;
        QTest::newRow("target elsewhere") << u"{install}|--target-app|{home}/Desktop/Quillo Edge.app"_s
                                          << u"只允许更新“应用程序”文件夹中的 Quillo Edge"_s;
        for (const char *folder : {"{cache}/", "{cache} 2/work"})  // the cache itself, and a folder beside it
            QTest::addRow("work folder %s", folder)
                << u"{install}|--work-dir|"_s + QLatin1String(folder) << u"更新暂存路径不安全"_s;
        // Numbers are plain decimal in the signed 64-bit range; a process id must fit 32 bits and be positive.
        for (const char *id : {"0", "+0", "-9223372036854775808", "9223372036854775807", "4294967297"})
            QTest::addRow("parent pid %s", id)
                << u"{install}|--parent-pid|"_s + QLatin1String(id) << u"更新参数格式无效：--parent-pid"_s;
        for (const char *id : {"-9223372036854775809", "9223372036854775808", "-", " 1", "1a", "１"})
            QTest::addRow("parent pid %s", id)
                << u"{install}|--parent-pid|"_s + QString::fromUtf8(id) << u"更新参数不是数字：--parent-pid"_s;
    }

    // Every malformed command line ends in its message on standard error, exit status 1 and one
    // log line, stamped in UTC though the zone is east of it; the shipped program is run.
    void refusesBadCommandLines()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, message);
        const UpdaterTestBed bed;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, bed.fill(u"{home}"_s));
        environment.insert(u"XDG_CACHE_HOME"_s, bed.environment().cachesDirectory);
        environment.insert(u"TZ"_s, u"Asia/Shanghai"_s);
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(QUILLO_UPDATER_BINARY),
                      arguments.isEmpty() ? QStringList() : bed.arguments(arguments));
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(std::pair(process.exitStatus(), process.exitCode()), std::pair(QProcess::NormalExit, 1));
        QCOMPARE(std::pair(process.readAllStandardOutput(), QString::fromUtf8(process.readAllStandardError())),
                 std::pair(QByteArray(), message + u'\n'));
        QCOMPARE(readText(bed.fill(u"{log}"_s)).mid(21), u"] Updater error: "_s + message + u'\n');
    }

    void prepares_data()
    {
        QTest::addColumn<QStringList>("setup");  // fixture settings and arrangements named in prepares()
        QTest::addColumn<QVariantMap>("info");   // changes to the image bundle's Info values
        QTest::addColumn<QString>("message");    // empty for success
        const auto row = [](const char *name, const QStringList &setup, const QString &message,
                            const QVariantMap &info = {}) { QTest::newRow(name) << setup << info << message; };
        const auto build = [](const QVariant &value) { return QVariantMap{{u"CFBundleVersion"_s, value}}; };
        row("genuine", {}, {});
        row("numeric build", {}, {}, build(qint64(42)));
        row("build written as a whole real number", {}, {}, build(42.0));
        row("mount point reported with another spelling", {u"QUILLO_FAKE_ATTACH=spelled"_s}, {});
        row("team line on standard output", {u"QUILLO_FAKE_TEAM_ON_STDOUT=1"_s}, {});
        row("stale staged copy is replaced", {u"stale staged copy"_s}, {});
        row("image will not detach", {u"QUILLO_FAKE_DETACH=fail"_s}, {});
        row("image will not attach", {u"QUILLO_FAKE_ATTACH=fail"_s},
            u"执行 {hdiutil} 失败：hdiutil: attach failed - image not recognized"_s);
        // An attach that went wrong is undone quietly, even when the image will not detach.
        row("mounted elsewhere", {u"QUILLO_FAKE_ATTACH=elsewhere"_s, u"QUILLO_FAKE_DETACH=fail"_s},
            u"安装包中没有找到 Quillo Edge"_s);
        row("output not a property list", {u"QUILLO_FAKE_ATTACH=not-plist"_s},
            u"磁盘映像工具的输出不是属性列表"_s);
        row("image without the app", {u"image app misnamed"_s}, u"安装包中没有找到 Quillo Edge"_s);
        row("wrong identifier", {}, u"App 安全校验失败：Bundle ID 不匹配"_s,
            {{u"CFBundleIdentifier"_s, u"dev.quillo.edge.beta"_s}});
        row("version differs, image will not detach", {u"QUILLO_FAKE_DETACH=fail"_s},
            u"App 安全校验失败：版本号不匹配"_s, {{u"CFBundleShortVersionString"_s, u"2.0.1"_s}});
        row("build with leading zeros", {}, u"App 安全校验失败：构建号不匹配"_s, build(u"042"_s));
        row("build with a fraction", {}, u"App 安全校验失败：构建号不匹配"_s, build(42.5));
        row("invalid signature", {u"QUILLO_FAKE_VERIFY_REJECT=*"_s},
            u"执行 {codesign} 失败：{mount}/Quillo Edge.app: a sealed resource is missing or invalid"_s);
        row("team inside a longer line", {u"QUILLO_FAKE_TEAM_LINE=Old TeamIdentifier={team}"_s},
            u"App 安全校验失败：开发者身份不匹配"_s);
        row("assessment rejects", {u"QUILLO_FAKE_ASSESS_REJECT=*"_s},
            u"执行 {spctl} 失败：{mount}/Quillo Edge.app: rejected\nsource=Unnotarized Developer ID"_s);
        row("copy fails half way", {u"QUILLO_FAKE_DITTO_FAIL=*"_s},
            u"执行 {ditto} 失败：ditto: {staged}: No space left on device"_s);
        // A tool that says nothing is named alone; one that cannot be started gives the system's own error.
        row("copier fails without a word", {u"copier /bin/false"_s}, u"执行 /bin/false 失败"_s);
        row("copier cannot be started", {u"copier /dev/null/ditto"_s}, QString::fromLocal8Bit(std::strerror(ENOTDIR)));
        row("staged copy fails verification", {u"QUILLO_FAKE_VERIFY_REJECT={staged}"_s},
            u"执行 {codesign} 失败：{staged}: a sealed resource is missing or invalid"_s);
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
        QVERIFY(FakeBundle::write(bed.fill(setup.contains(u"image app misnamed"_s) ? u"{image}/Quillo Edge Beta.app"_s
                                                                                   : u"{image}/Quillo Edge.app"_s),
                                  bundleInfo));
        QVERIFY(!setup.contains(u"stale staged copy"_s)
                || FakeBundle::write(bed.stagedApp() + u"/Contents/Stale"_s, {}));
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
        bed.runAndCheck(u"{prepare}"_s, message, log, environment);
        const QStringList calls = bed.fixtureRecord();
        QCOMPARE(QFileInfo::exists(bed.mountPoint() + u"/Quillo Edge.app/Contents/Info.plist"_s), detachFails);
        QCOMPARE(bed.entries(bed.environment().mountPointParent).size(), detachFails ? 1 : 0);
        QCOMPARE(QFileInfo::exists(bed.stagedApp()),
                 message.isEmpty() || calls.contains(bed.fill(u"ditto {mount}/Quillo Edge.app {staged}"_s)));
        if (!message.isEmpty())
            return;
        QVERIFY(!QFileInfo::exists(bed.stagedApp() + u"/Contents/Stale"_s));
        QString expected
            = u"hdiutil attach -nobrowse -readonly -mountpoint {mount} -plist {image}|mount point mode drwx------"_s;
        for (const QString &bundle : {u"{mount}/Quillo Edge.app"_s, u"{staged}"_s})
            expected += u"|codesign --verify --deep --strict --verbose=2 %1|codesign --display --verbose=4 %1"
                        "|spctl --assess --type execute --verbose=2 %1"_s.arg(bundle)
                + (bundle == u"{staged}" ? u""_s : u"|ditto %1 {staged}"_s.arg(bundle));
        QCOMPARE(calls, bed.arguments(expected + u"|hdiutil detach {mount}"_s));
    }

    void installs_data()
    {
        QTest::addColumn<bool>("atomicExchange");
        QTest::addColumn<QString>("setup");    // fixture settings or an arrangement named in installs()
        QTest::addColumn<QString>("message");  // empty for success
        QTest::addColumn<QStringList>("log");
        const QString waiting = u"Waiting for manager process … to exit"_s;
        const QString rollingBack = u"Manager update failed; rolling back: {message}"_s;
        const QString failed = u"Updater error: {message}"_s;
        const QStringList installed{waiting, u"Manager update installed successfully"_s};
        const QStringList restored{waiting, rollingBack, u"Previous manager version restored"_s, failed};
        const QString openFails = u"执行 {open} 失败：The application cannot be opened because it is damaged."_s;
        QTest::newRow("exchange") << true << QString() << QString() << installed;
        QTest::newRow("nothing installed before") << true << u"no target"_s << QString() << installed;
        // Refused before the wait, or by it: nothing is touched.
        QTest::newRow("staged version differs")
            << true << u"staged 2.0.1"_s << u"App 安全校验失败：版本号不匹配"_s << QStringList{failed};
        QTest::newRow("manager never ends")
            << true << u"manager alive"_s << u"旧版 Edge 管理器未能退出，更新已取消"_s << QStringList{waiting, failed};
        // After the wait: rolled back.
        QTest::newRow("installed bundle fails verification")
            << false << u"QUILLO_FAKE_VERIFY_REJECT={target}"_s
            << u"执行 {codesign} 失败：{target}: a sealed resource is missing or invalid"_s << restored;
        QTest::newRow("copy fails")
            << true << u"QUILLO_FAKE_DITTO_FAIL=*"_s
            << u"执行 {ditto} 失败：ditto: {home}/Applications/.Quillo Edge.update-…: No space left on device"_s
            << QStringList{waiting, rollingBack, failed};
        for (const bool exchange : {true, false}) {
            const char *mode = exchange ? "exchange" : "two renames";
            QTest::addRow("%s: new bundle will not open", mode)
                << exchange << u"QUILLO_FAKE_OPEN_REJECT=2.0.0"_s << openFails << restored;
            QTest::addRow("%s: backup cannot return", mode)
                << exchange << u"QUILLO_FAKE_OPEN_REJECT=2.0.0|QUILLO_FAKE_OPEN_TAKE_BACKUP=1"_s << openFails
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
        const QSet<QString> unrelated{u".Quillo Edge.update-0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0.app"_s,
                                      u"Quillo Edge.backup-0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.app"_s,
                                      u".Quillo Edge.update-0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.app.old"_s};
        const QStringList settings = setup.startsWith(u"QUILLO_") ? setup.split(u'|') : QStringList();
        const qint64 manager = setup == u"manager alive" ? QCoreApplication::applicationPid() : managerId;
        for (int stopAt = 0; stopAt < 20; ++stopAt) {
            UpdaterTestBed bed;  // with version 1.0.0 installed and 2.0.0 (build 2) staged
            QVERIFY(writeManager(bed.targetApp(), u"1.0.0"_s, 1) && writeManager(bed.stagedApp(), u"2.0.0"_s, 2));
            for (const QString &name : unrelated)
                QVERIFY(QDir().mkpath(bed.fill(u"{home}/Applications/"_s + name)));
            QVERIFY(setup != u"no target" || QDir(bed.targetApp()).removeRecursively());
            QVERIFY(setup != u"staged 2.0.1" || writeManager(bed.stagedApp(), u"2.0.1"_s, 2));
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
                const QString version = versionAt(bed.targetApp());
                const bool betweenRenames = steps.size() >= 2 && steps.last().startsWith(u"rename "_s)
                                         && steps.at(steps.size() - 2) == u"rename "_s + bed.targetApp();
                // Nothing stands there before the first install, nor once the backup is taken away.
                const bool mayBeEmpty
                    = setup == u"no target" || setup.contains(u"TAKE_BACKUP") || (betweenRenames && !atomicExchange);
                QVERIFY2(version == u"1.0.0"_s || version == u"2.0.0"_s
                             || (mayBeEmpty && !QFileInfo::exists(bed.targetApp())),
                         qPrintable(u"stopped at: "_s + steps.join(u", "_s)));
                for (const QString &setting : settings)
                    bed.steer({setting.section(u'=', 0, 0) + u'='});
                environment.beforeSwapStep = {};
                QFile::remove(bed.fill(u"{log}"_s));
                bed.runAndCheck(u"{install}"_s, {}, {u"Waiting …"_s, u"Manager update installed successfully"_s},
                                environment);
                QCOMPARE(versionAt(bed.targetApp()), u"2.0.0"_s);
                QCOMPARE(bed.entries(u"{home}/Applications"_s), unrelated + QSet<QString>{u"Quillo Edge.app"_s});
                continue;
            }
            const QString versionLeft = log.contains(u"Rollback failed: …"_s) ? QString()
                : message.isEmpty()                                           ? u"2.0.0"_s
                                                                              : u"1.0.0"_s;
            QCOMPARE(versionAt(bed.targetApp()), versionLeft);
            const bool reopened = message.isEmpty() || log.contains(u"Previous manager version restored"_s);
            QCOMPARE(bed.fixtureRecord(u"opened"_s),
                     reopened ? QStringList{bed.targetApp() + u' ' + versionLeft} : QStringList());
            QCOMPARE(bed.entries(u"{home}/Applications"_s),
                     versionLeft.isEmpty() ? unrelated : unrelated + QSet<QString>{u"Quillo Edge.app"_s});
            QCOMPARE(QFileInfo::exists(message.isEmpty() ? bed.fill(u"{cache}/work"_s) : bed.stagedApp()),
                     !message.isEmpty());
            return;
        }
        QFAIL("the run never ended");
    }

    void readsInfoValues_data()
    {
        QTest::addColumn<QByteArray>("contents");  // of the Info.plist; none for a binary one holding `value`
        QTest::addColumn<QVariant>("value");       // of the key "Value"
        for (const QVariant &value : {QVariant(qint64(-7)), QVariant(true), QVariant(1.5), QVariant(u"管理器"_s)})
            QTest::addRow("binary %s", value.typeName()) << QByteArray() << value;
        const QByteArray xml
            = R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict><key>Value</key>@</dict></plist>)";
        // A value is read as written, so the checks on it cannot be fooled or crashed by its bytes.
        QTest::newRow("string holding a NUL byte")
            << QByteArray(xml).replace("@", "<string>a\0</string>"_ba) << QVariant(QString::fromUtf8("a\0", 2));
        QTest::newRow("string after U+FEFF") << QByteArray(xml).replace("@",
                                                                        "<string>\xEF\xBB\xBF"
                                                                        "a</string>")
                                             << QVariant(u"\uFEFFa"_s);
        QTest::newRow("integer above the signed range")
            << QByteArray(xml).replace("@", "<integer>18446744073709551615</integer>") << QVariant(~0ULL);
        QTest::newRow("empty file, no values") << ""_ba << QVariant();
    }

    void readsInfoValues()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QVariant, value);
        QTemporaryDir folder;
        const QString path = folder.filePath(u"Quillo Edge.app"_s);
        QFile file(path + u"/Contents/Info.plist"_s);
        QVERIFY(FakeBundle::write(path, {{u"Value"_s, value}}, FakeBundle::Format::Binary));
        QVERIFY(contents.isNull()
                || (file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() && file.flush()));
        QCOMPARE(AppBundle(path).infoValue(u"Value"_s).typeId(), value.typeId());
        QCOMPARE(AppBundle(path).infoValue(u"Value"_s), value);
    }
};

QTEST_GUILESS_MAIN(UpdaterTest)
#include "tst_updater.moc"
