#include "FakeBundle.h"
#include "UpdaterTestBed.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class UpdaterPreparationTest : public QObject
{
    Q_OBJECT

private slots:
    void prepares_data()
    {
        QTest::addColumn<QStringList>("setup");  // fixture settings and arrangements named in prepares()
        QTest::addColumn<QVariantMap>("info");   // changes to the image bundle's Info values; invalid removes
        QTest::addColumn<QString>("message");    // empty for success
        const auto row = [](const char *name, const QStringList &setup, const QString &message, const QVariantMap &info = {}) {
            QTest::newRow(name) << setup << info << message;
        };
        const auto build = [](const QVariant &value) { return QVariantMap{{u"CFBundleVersion"_s, value}}; };
        const QString notFound = u"安装包中没有找到 Quillo Edge"_s;
        const QString team = u"App 安全校验失败：开发者身份不匹配"_s;
        const QString buildDiffers = u"App 安全校验失败：构建号不匹配"_s;
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
        row("mounted elsewhere", {u"QUILLO_FAKE_ATTACH=elsewhere"_s, u"QUILLO_FAKE_DETACH=fail"_s}, notFound);
        row("output not a property list", {u"QUILLO_FAKE_ATTACH=not-plist"_s}, u"The disk image tool's output is not a property list"_s);
        row("image without the app", {u"image app misnamed"_s}, notFound);
        row("wrong identifier", {}, u"App 安全校验失败：Bundle ID 不匹配"_s, {{u"CFBundleIdentifier"_s, u"dev.quillo.edge.beta"_s}});
        row("version differs, image will not detach", {u"QUILLO_FAKE_DETACH=fail"_s}, u"App 安全校验失败：版本号不匹配"_s,
            {{u"CFBundleShortVersionString"_s, u"2.0.1"_s}});
        row("build with leading zeros", {}, buildDiffers, build(u"042"_s));
        row("build with a fraction", {}, buildDiffers, build(42.5));
        row("no build", {}, buildDiffers, build(QVariant()));
        row("invalid signature", {u"QUILLO_FAKE_VERIFY_REJECT=*"_s}, u"执行 {codesign} 失败：{mount}/Quillo Edge.app: a sealed resource is missing or invalid"_s);
        row("another team", {u"QUILLO_FAKE_TEAM_LINE=TeamIdentifier=ZZ99ZZ99ZZ"_s}, team);
        row("team line with a trailing space", {u"QUILLO_FAKE_TEAM_LINE=TeamIdentifier=R7T2MQ94XK "_s}, team);
        row("team inside a longer line", {u"QUILLO_FAKE_TEAM_LINE=Old TeamIdentifier=R7T2MQ94XK"_s}, team);
        row("assessment rejects", {u"QUILLO_FAKE_ASSESS_REJECT=*"_s}, u"执行 {spctl} 失败：{mount}/Quillo Edge.app: rejected\nsource=Unnotarized Developer ID"_s);
        row("copy fails half way", {u"QUILLO_FAKE_DITTO_FAIL=*"_s}, u"执行 {ditto} 失败：ditto: {staged}: No space left on device"_s);
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
        const bool misnamed = setup.removeAll(u"image app misnamed"_s);
        QVariantMap bundleInfo = FakeBundle::managerInfo(u"2.0.0"_s, 42);
        for (auto it = info.cbegin(); it != info.cend(); ++it)
            it.value().isValid() ? void(bundleInfo.insert(it.key(), it.value())) : void(bundleInfo.remove(it.key()));
        QVERIFY(FakeBundle::write(bed.fill(misnamed ? u"{image}/Quillo Edge Beta.app"_s : u"{image}/Quillo Edge.app"_s), bundleInfo));
        QVERIFY(!setup.removeAll(u"stale staged copy"_s)
                || (UpdaterTestBed::writeManager(bed.stagedApp(), u"1.0.0"_s, 1)
                    && QFile(bed.stagedApp() + u"/Contents/Stale.txt"_s).open(QIODevice::WriteOnly)));
        const bool logBlocked = setup.removeAll(u"log folder occupied"_s);
        QVERIFY(!logBlocked || (QDir(bed.home()).mkpath(u"Library/Logs"_s)
                                && QFile(bed.home() + u"/Library/Logs/Quillo Edge"_s).open(QIODevice::WriteOnly)));
        bed.steer(setup);

        const bool detachFails = setup.contains(u"QUILLO_FAKE_DETACH=fail"_s);
        QStringList log{u"Preparing manager update 2.0.0 (42)"_s};
        if (message.isEmpty())
            log << u"Manager update is staged and verified"_s;
        if (detachFails && !setup.contains(u"QUILLO_FAKE_ATTACH=elsewhere"_s))
            log << u"Unable to detach update image: 执行 {hdiutil} 失败：hdiutil: couldn't unmount \"disk4\" - Resource busy"_s;
        if (!message.isEmpty())
            log << u"Updater error: {message}"_s;
        bed.runAndCheck(u"{prepare}"_s, message, logBlocked ? QStringList() : log);
        const QStringList calls = bed.fixtureRecord();
        QCOMPARE(calls.constLast(), bed.fill(u"hdiutil detach {mount}"_s));
        if (detachFails)
            QVERIFY(QFileInfo::exists(bed.mountPoint() + u"/Quillo Edge.app/Contents/Info.plist"_s));
        else
            QCOMPARE(bed.entries(bed.environment().mountPointParent), QStringList());
        QCOMPARE(QFileInfo::exists(bed.stagedApp()), message.isEmpty() || calls.contains(bed.fill(u"ditto {mount}/Quillo Edge.app {staged}"_s)));
        if (!message.isEmpty())
            return;

        QVERIFY(!QFile::exists(bed.stagedApp() + u"/Contents/Stale.txt"_s));
        QVERIFY(QRegularExpression(u"^%1/quillo-edge-update-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"_s
                                       .arg(QRegularExpression::escape(bed.environment().mountPointParent)))
                    .match(bed.mountPoint()).hasMatch());
        QString expected = u"hdiutil attach -nobrowse -readonly -mountpoint {mount} -plist {image}|mount point mode drwx------"_s;
        for (const QString &bundle : {u"{mount}/Quillo Edge.app"_s, u"{staged}"_s}) {
            expected += u"|codesign --verify --deep --strict --verbose=2 %1|codesign --display --verbose=4 %1"
                        "|spctl --assess --type execute --verbose=2 %1"_s.arg(bundle);
            if (bundle != u"{staged}")
                expected += u"|ditto {mount}/Quillo Edge.app {staged}"_s;
        }
        QCOMPARE(calls, bed.arguments(expected + u"|hdiutil detach {mount}"_s));
    }
};

QTEST_GUILESS_MAIN(UpdaterPreparationTest)
#include "tst_updater_preparation.moc"
