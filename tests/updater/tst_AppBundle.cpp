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
};

void AppBundleTest::readsInfoValues_data()
{
    QTest::addColumn<FakeBundle::Format>("format");
    QTest::addColumn<QByteArray>("contents");  // written over the Info.plist when not null
    QTest::newRow("xml") << FakeBundle::Format::Xml << QByteArray();
    QTest::newRow("binary") << FakeBundle::Format::Binary << QByteArray();
    QTest::newRow("empty file") << FakeBundle::Format::Xml << ""_ba;
    QTest::newRow("not a property list") << FakeBundle::Format::Xml << "CFBundleIdentifier = dev.quillo.edge\n"_ba;
    QTest::newRow("truncated binary") << FakeBundle::Format::Xml << QByteArray("bplist00\xd1\x01\x02", 11);
    QTest::newRow("root is not a dictionary") << FakeBundle::Format::Xml
        << R"(<?xml version="1.0"?><plist version="1.0"><array><string>CFBundleIdentifier</string></array></plist>)"_ba;
}

// Values keep their types in either format; an unreadable Info.plist gives no values at all.
void AppBundleTest::readsInfoValues()
{
    QFETCH(FakeBundle::Format, format);
    QFETCH(QByteArray, contents);
    QTemporaryDir folder;
    const QString path = folder.filePath(u"Quillo Edge.app"_s);
    const QVariantMap info{{u"CFBundleIdentifier"_s, u"dev.quillo.edge"_s}, {u"CFBundleVersion"_s, qint64(42)},
                           {u"Negative"_s, qint64(-7)}, {u"LSUIElement"_s, true}, {u"Scale"_s, 1.5},
                           {u"Name"_s, u"管理器"_s}};
    QVERIFY(FakeBundle::write(path, info, format));
    QFile file(path + u"/Contents/Info.plist"_s);
    QVERIFY(contents.isNull() || (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) >= 0));
    file.close();

    const AppBundle bundle(path);
    QCOMPARE(bundle.infoPlistPath(), file.fileName());
    for (auto it = info.cbegin(); it != info.cend(); ++it) {
        const QVariant value = bundle.infoValue(it.key());
        QCOMPARE(value.typeId(), contents.isNull() ? it.value().typeId() : QMetaType::UnknownType);
        QCOMPARE(value, contents.isNull() ? it.value() : QVariant());
    }
    QVERIFY(!bundle.infoValue(u"CFBundleShortVersionString"_s).isValid());
}

QTEST_GUILESS_MAIN(AppBundleTest)
#include "tst_AppBundle.moc"
