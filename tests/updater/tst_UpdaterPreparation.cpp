#include "FakeBundle.h"
#include "UpdaterTestBed.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class UpdaterPreparationTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void stagesAVerifiedCopy_data();
    void stagesAVerifiedCopy();
    void refusesBadImagesAndBundles_data();
    void refusesBadImagesAndBundles();
    void keepsItsResultWhenTheImageWillNotDetach_data();
    void keepsItsResultWhenTheImageWillNotDetach();

private:
    QString imageFolder() const;
    QString stagedApp() const;
    QStringList prepareArguments(const QString &image) const;
    QString mountPoint() const;
    QString fill(QString text) const;

    std::unique_ptr<UpdaterTestBed> bed_;
};

void UpdaterPreparationTest::init()
{
    bed_.reset();  // its clean-up would clear the new bed's steering
    bed_ = std::make_unique<UpdaterTestBed>();
    QVERIFY(bed_->isValid());
}

QString UpdaterPreparationTest::imageFolder() const
{
    return bed_->home() + u"/Downloads/image"_s;
}

QString UpdaterPreparationTest::stagedApp() const
{
    return bed_->updateCache() + u"/work/Quillo Edge.app"_s;
}

QStringList UpdaterPreparationTest::prepareArguments(const QString &image) const
{
    return {u"prepare"_s, u"--dmg"_s, image, u"--staged-app"_s, stagedApp(), u"--version"_s, u"2.0.0"_s,
            u"--build"_s, u"42"_s};
}

// The mount point the disk-image tool was asked to use.
QString UpdaterPreparationTest::mountPoint() const
{
    for (const QString &call : bed_->toolCalls()) {
        const QStringList words = call.split(u' ');
        if (words.value(1) == u"attach")
            return words.value(5);
    }
    return {};
}

QString UpdaterPreparationTest::fill(QString text) const
{
    text.replace(u"{hdiutil}"_s, bed_->tool(u"fake-hdiutil"_s));
    text.replace(u"{ditto}"_s, bed_->tool(u"fake-ditto"_s));
    text.replace(u"{codesign}"_s, bed_->tool(u"fake-codesign"_s));
    text.replace(u"{spctl}"_s, bed_->tool(u"fake-spctl"_s));
    text.replace(u"{mount}"_s, mountPoint());
    text.replace(u"{staged}"_s, stagedApp());
    return text;
}

void UpdaterPreparationTest::stagesAVerifiedCopy_data()
{
    QTest::addColumn<QString>("variant");
    QTest::newRow("image folder") << u"folder"_s;
    QTest::newRow("image archive") << u"archive"_s;
    QTest::newRow("binary Info.plist with a numeric build") << u"binary"_s;
    QTest::newRow("build written as a whole real number") << u"real"_s;
    QTest::newRow("mount point reported with another spelling") << u"spelled"_s;
    QTest::newRow("team line on standard output") << u"team on stdout"_s;
    QTest::newRow("stale staged copy is replaced") << u"stale"_s;
    QTest::newRow("log folder occupied by a file") << u"no log"_s;
}

void UpdaterPreparationTest::stagesAVerifiedCopy()
{
    QFETCH(QString, variant);
    const QString imageApp = imageFolder() + u"/Quillo Edge.app"_s;
    QVERIFY(UpdaterTestBed::writeManager(imageApp, u"2.0.0"_s, 42));
    QString image = imageFolder();
    if (variant == u"archive") {
        image = bed_->home() + u"/Downloads/image.tar"_s;
        QCOMPARE(QProcess::execute(u"tar"_s, {u"-cf"_s, image, u"-C"_s, imageFolder(), u"."_s}), 0);
        QVERIFY(QDir(imageFolder()).removeRecursively());
    } else if (variant == u"binary") {
        QVariantMap info = FakeBundle::managerInfo(u"2.0.0"_s, 42);
        info.insert(u"CFBundleVersion"_s, qint64(42));
        QVERIFY(FakeBundle::write(imageApp, info, FakeBundle::Format::Binary));
    } else if (variant == u"real") {
        QVariantMap info = FakeBundle::managerInfo(u"2.0.0"_s, 42);
        info.insert(u"CFBundleVersion"_s, 42.0);
        QVERIFY(FakeBundle::write(imageApp, info));
    } else if (variant == u"spelled") {
        UpdaterTestBed::steer("QUILLO_FAKE_ATTACH", u"spelled"_s);
    } else if (variant == u"team on stdout") {
        UpdaterTestBed::steer("QUILLO_FAKE_TEAM_ON_STDOUT", u"1"_s);
    } else if (variant == u"stale") {
        QVERIFY(UpdaterTestBed::writeManager(stagedApp(), u"1.0.0"_s, 1));
        QFile stale(stagedApp() + u"/Contents/Stale.txt"_s);
        QVERIFY(stale.open(QIODevice::WriteOnly));
    } else if (variant == u"no log") {
        QVERIFY(QDir(bed_->home()).mkpath(u"Library/Logs"_s));
        QFile occupant(bed_->home() + u"/Library/Logs/Quillo Edge"_s);
        QVERIFY(occupant.open(QIODevice::WriteOnly));
    }

    const UpdaterTestBed::Outcome outcome = bed_->run(prepareArguments(image));

    QCOMPARE(outcome.standardError, QString());
    QCOMPARE(outcome.exitCode, 0);
    QCOMPARE(UpdaterTestBed::versionAt(stagedApp()), u"2.0.0"_s);
    QVERIFY(!QFile::exists(stagedApp() + u"/Contents/Stale.txt"_s));
    QCOMPARE(QDir(bed_->mountPointParent()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList());
    QVERIFY(QRegularExpression(u"^%1/quillo-edge-update-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"_s
                                   .arg(QRegularExpression::escape(bed_->mountPointParent())))
                .match(mountPoint()).hasMatch());

    const QString imageCopy = u"{mount}/Quillo Edge.app"_s;
    QStringList expectedCalls;
    expectedCalls << u"hdiutil attach -nobrowse -readonly -mountpoint {mount} -plist "_s + image
                  << u"mount point mode drwx------"_s;
    for (const QString &bundle : {imageCopy, u"{staged}"_s}) {
        expectedCalls << u"codesign --verify --deep --strict --verbose=2 "_s + bundle
                      << u"codesign --display --verbose=4 "_s + bundle
                      << u"spctl --assess --type execute --verbose=2 "_s + bundle;
        if (bundle == imageCopy)
            expectedCalls << u"ditto "_s + imageCopy + u" {staged}"_s;
    }
    expectedCalls << u"hdiutil detach {mount}"_s;
    for (QString &call : expectedCalls)
        call = fill(call);
    QCOMPARE(bed_->toolCalls(), expectedCalls);

    const QStringList expectedLog{u"Preparing manager update 2.0.0 (42)"_s, u"Manager update is staged and verified"_s};
    QCOMPARE(bed_->logMessages(), variant == u"no log" ? QStringList() : expectedLog);
}

void UpdaterPreparationTest::refusesBadImagesAndBundles_data()
{
    QTest::addColumn<QStringList>("steering");
    QTest::addColumn<QString>("imageEntry");
    QTest::addColumn<QVariantMap>("info");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("stagedLeft");

    const QString app = u"Quillo Edge.app"_s;
    const QVariantMap genuine;
    const auto changed = [](const QString &key, const QVariant &value) { return QVariantMap{{key, value}}; };

    QTest::newRow("image will not attach") << QStringList{u"QUILLO_FAKE_ATTACH=fail"_s} << app << genuine
        << u"执行 {hdiutil} 失败：hdiutil: attach failed - image not recognized"_s << false;
    QTest::newRow("mounted elsewhere") << QStringList{u"QUILLO_FAKE_ATTACH=elsewhere"_s} << app << genuine
        << u"安装包中没有找到 Quillo Edge"_s << false;
    QTest::newRow("no mount point") << QStringList{u"QUILLO_FAKE_ATTACH=no-mount-point"_s} << app << genuine
        << u"安装包中没有找到 Quillo Edge"_s << false;
    QTest::newRow("output not a property list") << QStringList{u"QUILLO_FAKE_ATTACH=not-plist"_s} << app << genuine
        << u"The disk image tool's output is not a property list"_s << false;
    QTest::newRow("image without the app") << QStringList() << u"Quillo Edge Beta.app"_s << genuine
        << u"安装包中没有找到 Quillo Edge"_s << false;
    QTest::newRow("wrong identifier") << QStringList() << app << changed(u"CFBundleIdentifier"_s, u"dev.quillo.edge.beta"_s)
        << u"App 安全校验失败：Bundle ID 不匹配"_s << false;
    QTest::newRow("no identifier") << QStringList() << app << changed(u"CFBundleIdentifier"_s, QVariant())
        << u"App 安全校验失败：Bundle ID 不匹配"_s << false;
    QTest::newRow("version differs") << QStringList() << app << changed(u"CFBundleShortVersionString"_s, u"2.0.1"_s)
        << u"App 安全校验失败：版本号不匹配"_s << false;
    QTest::newRow("version is not a string") << QStringList() << app << changed(u"CFBundleShortVersionString"_s, 2.0)
        << u"App 安全校验失败：版本号不匹配"_s << false;
    QTest::newRow("build with leading zeros") << QStringList() << app << changed(u"CFBundleVersion"_s, u"042"_s)
        << u"App 安全校验失败：构建号不匹配"_s << false;
    QTest::newRow("numeric build differs") << QStringList() << app << changed(u"CFBundleVersion"_s, qint64(41))
        << u"App 安全校验失败：构建号不匹配"_s << false;
    QTest::newRow("build with a fraction") << QStringList() << app << changed(u"CFBundleVersion"_s, 42.5)
        << u"App 安全校验失败：构建号不匹配"_s << false;
    QTest::newRow("no build") << QStringList() << app << changed(u"CFBundleVersion"_s, QVariant())
        << u"App 安全校验失败：构建号不匹配"_s << false;
    QTest::newRow("invalid signature") << QStringList{u"QUILLO_FAKE_VERIFY_REJECT=*"_s} << app << genuine
        << u"执行 {codesign} 失败：{mount}/Quillo Edge.app: a sealed resource is missing or invalid"_s << false;
    QTest::newRow("signature unreadable") << QStringList{u"QUILLO_FAKE_DISPLAY_FAIL=*"_s} << app << genuine
        << u"执行 {codesign} 失败：{mount}/Quillo Edge.app: code object is not signed at all"_s << false;
    QTest::newRow("another team") << QStringList{u"QUILLO_FAKE_TEAM_LINE=TeamIdentifier=ZZ99ZZ99ZZ"_s} << app << genuine
        << u"App 安全校验失败：开发者身份不匹配"_s << false;
    QTest::newRow("team line with a trailing space") << QStringList{u"QUILLO_FAKE_TEAM_LINE=TeamIdentifier=R7T2MQ94XK "_s}
        << app << genuine << u"App 安全校验失败：开发者身份不匹配"_s << false;
    QTest::newRow("team inside a longer line") << QStringList{u"QUILLO_FAKE_TEAM_LINE=Old TeamIdentifier=R7T2MQ94XK"_s}
        << app << genuine << u"App 安全校验失败：开发者身份不匹配"_s << false;
    QTest::newRow("assessment rejects") << QStringList{u"QUILLO_FAKE_ASSESS_REJECT=*"_s} << app << genuine
        << u"执行 {spctl} 失败：{mount}/Quillo Edge.app: rejected\nsource=Unnotarized Developer ID"_s << false;
    QTest::newRow("copy fails half way") << QStringList{u"QUILLO_FAKE_DITTO_FAIL=*"_s} << app << genuine
        << u"执行 {ditto} 失败：ditto: {staged}: No space left on device"_s << true;
    QTest::newRow("staged copy fails verification") << QStringList{u"QUILLO_FAKE_VERIFY_REJECT={staged}"_s} << app << genuine
        << u"执行 {codesign} 失败：{staged}: a sealed resource is missing or invalid"_s << true;
}

// Every refusal leaves the image detached and its mount point gone; the staged copy stays only
// when the failure came after copying.
void UpdaterPreparationTest::refusesBadImagesAndBundles()
{
    QFETCH(QStringList, steering);
    QFETCH(QString, imageEntry);
    QFETCH(QVariantMap, info);
    QFETCH(QString, message);
    QFETCH(bool, stagedLeft);

    QVariantMap bundleInfo = FakeBundle::managerInfo(u"2.0.0"_s, 42);
    for (auto it = info.cbegin(); it != info.cend(); ++it) {
        if (it.value().isValid())
            bundleInfo.insert(it.key(), it.value());
        else
            bundleInfo.remove(it.key());
    }
    QVERIFY(FakeBundle::write(imageFolder() + u'/' + imageEntry, bundleInfo));
    for (QString &setting : steering)
        setting = fill(setting);
    UpdaterTestBed::steer(steering);

    const UpdaterTestBed::Outcome outcome = bed_->run(prepareArguments(imageFolder()));

    message = fill(message);
    QCOMPARE(outcome.standardError, message + u'\n');
    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(bed_->logMessages(), (QStringList{u"Preparing manager update 2.0.0 (42)"_s, u"Updater error: "_s + message}));
    const QStringList calls = bed_->toolCalls();
    QVERIFY(!calls.isEmpty());
    QCOMPARE(calls.constLast(), fill(u"hdiutil detach {mount}"_s));
    QCOMPARE(QDir(bed_->mountPointParent()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList());
    QCOMPARE(QFileInfo::exists(stagedApp()), stagedLeft);
}

void UpdaterPreparationTest::keepsItsResultWhenTheImageWillNotDetach_data()
{
    QTest::addColumn<QStringList>("steering");
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("log");

    const QString preparing = u"Preparing manager update 2.0.0 (42)"_s;
    const QString unableToDetach
        = u"Unable to detach update image: 执行 {hdiutil} 失败：hdiutil: couldn't unmount \"disk4\" - Resource busy"_s;
    QTest::newRow("staged") << QStringList() << u"2.0.0"_s << QString()
                            << QStringList{preparing, u"Manager update is staged and verified"_s, unableToDetach};
    QTest::newRow("refused after mounting") << QStringList() << u"2.0.1"_s << u"App 安全校验失败：版本号不匹配"_s
                                            << QStringList{preparing, unableToDetach, u"Updater error: {message}"_s};
    // An attach that went wrong is undone quietly.
    QTest::newRow("mounted elsewhere") << QStringList{u"QUILLO_FAKE_ATTACH=elsewhere"_s} << u"2.0.0"_s
                                       << u"安装包中没有找到 Quillo Edge"_s
                                       << QStringList{preparing, u"Updater error: {message}"_s};
}

// A failed unmount never changes the command's result, and a mount point that is still in use
// is not emptied by the clean-up.
void UpdaterPreparationTest::keepsItsResultWhenTheImageWillNotDetach()
{
    QFETCH(QStringList, steering);
    QFETCH(QString, version);
    QFETCH(QString, message);
    QFETCH(QStringList, log);
    QVERIFY(UpdaterTestBed::writeManager(imageFolder() + u"/Quillo Edge.app"_s, version, 42));
    UpdaterTestBed::steer(steering + QStringList{u"QUILLO_FAKE_DETACH=fail"_s});

    const UpdaterTestBed::Outcome outcome = bed_->run(prepareArguments(imageFolder()));

    QCOMPARE(outcome.exitCode, message.isEmpty() ? 0 : 1);
    QCOMPARE(outcome.standardError, message.isEmpty() ? QString() : message + u'\n');
    for (QString &line : log)
        line = fill(line).replace(u"{message}"_s, message);
    QCOMPARE(bed_->logMessages(), log);
    QCOMPARE(bed_->toolCalls().constLast(), fill(u"hdiutil detach {mount}"_s));
    QVERIFY(QFileInfo::exists(mountPoint() + u"/Quillo Edge.app/Contents/Info.plist"_s));
}

QTEST_GUILESS_MAIN(UpdaterPreparationTest)
#include "tst_UpdaterPreparation.moc"
