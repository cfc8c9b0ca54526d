#include "AppBundle.h"
#include "FakeBundle.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class AppBundleTest : public QObject
{
    Q_OBJECT

private slots:
    void readsInfoValues_data();
    void readsInfoValues();
    void hasNoValuesWithoutAReadableInfoPlist_data();
    void hasNoValuesWithoutAReadableInfoPlist();
};

void AppBundleTest::readsInfoValues_data()
{
    QTest::addColumn<FakeBundle::Format>("format");
    QTest::newRow("xml") << FakeBundle::Format::Xml;
    QTest::newRow("binary") << FakeBundle::Format::Binary;
}

void AppBundleTest::readsInfoValues()
{
    QFETCH(FakeBundle::Format, format);
    QTemporaryDir folder;
    const QString path = folder.filePath(u"Quillo Edge.app"_s);
    const QVariantMap info{{u"CFBundleIdentifier"_s, u"dev.quillo.edge"_s}, {u"CFBundleVersion"_s, qint64(42)},
                           {u"Negative"_s, qint64(-7)}, {u"LSUIElement"_s, true}, {u"Scale"_s, 1.5},
                           {u"Name"_s, u"管理器"_s}};
    QVERIFY(FakeBundle::write(path, info, format));

    const AppBundle bundle(path);
    QCOMPARE(bundle.infoPlistPath(), path + u"/Contents/Info.plist"_s);
    for (auto it = info.cbegin(); it != info.cend(); ++it) {
        const QVariant value = bundle.infoValue(it.key());
        QCOMPARE(value.typeId(), it.value().typeId());
        QCOMPARE(value, it.value());
    }
    QVERIFY(!bundle.infoValue(u"CFBundleShortVersionString"_s).isValid());
}

void AppBundleTest::hasNoValuesWithoutAReadableInfoPlist_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("no file") << QByteArray();
    QTest::newRow("empty file") << QByteArray("");
    QTest::newRow("not a property list") << QByteArray("CFBundleIdentifier = dev.quillo.edge\n");
    QTest::newRow("truncated xml") << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleIdentifier</key><str");
    QTest::newRow("truncated binary") << QByteArray("bplist00\xd1\x01\x02", 11);
    QTest::newRow("root is not a dictionary")
        << QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>CFBundleIdentifier</string></array></plist>");
}

void AppBundleTest::hasNoValuesWithoutAReadableInfoPlist()
{
    QFETCH(QByteArray, contents);
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkpath(u"Contents"_s));
    if (!contents.isNull()) {
        QFile file(folder.filePath(u"Contents/Info.plist"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    QVERIFY(!AppBundle(folder.path()).infoValue(u"CFBundleIdentifier"_s).isValid());
}

QTEST_GUILESS_MAIN(AppBundleTest)
#include "tst_AppBundle.moc"
