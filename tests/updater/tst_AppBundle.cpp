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
    void keepsValuesAsWritten_data();
    void keepsValuesAsWritten();
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

void AppBundleTest::keepsValuesAsWritten_data()
{
    QTest::addColumn<QByteArray>("element");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("string holding a NUL byte") << "<string>dev.quillo.edge\0</string>"_ba
                                               << QVariant(QString::fromUtf8("dev.quillo.edge\0", 16));
    QTest::newRow("string after U+FEFF") << "<string>\xEF\xBB\xBF" "dev.quillo.edge</string>"_ba
                                         << QVariant(u"\uFEFFdev.quillo.edge"_s);
    QTest::newRow("integer above the signed range") << "<integer>18446744073709551615</integer>"_ba
                                                    << QVariant::fromValue(std::numeric_limits<quint64>::max());
}

// A value is read as written, so the checks on it cannot be fooled or crashed by its bytes.
void AppBundleTest::keepsValuesAsWritten()
{
    QFETCH(QByteArray, element);
    QFETCH(QVariant, value);
    QTemporaryDir folder;
    const QString path = folder.filePath(u"Quillo Edge.app"_s);
    QVERIFY(FakeBundle::write(path, {}));
    QFile file(path + u"/Contents/Info.plist"_s);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict><key>Value</key>)" + element
               + "</dict></plist>");
    file.close();

    const QVariant read = AppBundle(path).infoValue(u"Value"_s);
    QCOMPARE(read.typeId(), value.typeId());
    QCOMPARE(read, value);
}

QTEST_GUILESS_MAIN(AppBundleTest)
#include "tst_AppBundle.moc"
