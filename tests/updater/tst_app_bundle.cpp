#include "AppBundle.h"
#include "FakeBundle.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class AppBundleTest : public QObject
{
    Q_OBJECT

private slots:
    void readsInfoValues_data()
    {
        QTest::addColumn<FakeBundle::Format>("format");
        QTest::addColumn<QByteArray>("contents");  // of the Info.plist, when not written from `value`
        QTest::addColumn<QVariant>("value");       // of the key "Value"
        for (const auto format : {FakeBundle::Format::Xml, FakeBundle::Format::Binary}) {
            for (const QVariant &value : {QVariant(qint64(-7)), QVariant(true), QVariant(1.5), QVariant(u"管理器"_s)})
                QTest::addRow("%s %s", format == FakeBundle::Format::Xml ? "xml" : "binary", value.typeName())
                    << format << QByteArray() << value;
        }
        const auto element = [](const QByteArray &xml) {
            return R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0"><dict><key>Value</key>)" + xml + "</dict></plist>";
        };
        // A value is read as written, so the checks on it cannot be fooled or crashed by its bytes.
        QTest::newRow("string holding a NUL byte") << FakeBundle::Format::Xml << element("<string>dev.quillo.edge\0</string>"_ba)
                                                   << QVariant(QString::fromUtf8("dev.quillo.edge\0", 16));
        QTest::newRow("string after U+FEFF") << FakeBundle::Format::Xml << element("<string>\xEF\xBB\xBF" "dev.quillo.edge</string>")
                                             << QVariant(u"\uFEFFdev.quillo.edge"_s);
        QTest::newRow("integer above the signed range") << FakeBundle::Format::Xml << element("<integer>18446744073709551615</integer>")
                                                        << QVariant::fromValue(std::numeric_limits<quint64>::max());
        // An unreadable Info.plist gives no values at all.
        QTest::newRow("other key") << FakeBundle::Format::Xml << element("<string>x</string>").replace("Value", "Other") << QVariant();
        QTest::newRow("empty file") << FakeBundle::Format::Xml << ""_ba << QVariant();
        QTest::newRow("not a property list") << FakeBundle::Format::Xml << "Value = 1\n"_ba << QVariant();
        QTest::newRow("truncated binary") << FakeBundle::Format::Xml << QByteArray("bplist00\xd1\x01\x02", 11) << QVariant();
        QTest::newRow("root is not a dictionary") << FakeBundle::Format::Xml
            << R"(<?xml version="1.0"?><plist version="1.0"><array><string>Value</string></array></plist>)"_ba << QVariant();
    }

    void readsInfoValues()
    {
        QFETCH(FakeBundle::Format, format);
        QFETCH(QByteArray, contents);
        QFETCH(QVariant, value);
        QTemporaryDir folder;
        const QString path = folder.filePath(u"Quillo Edge.app"_s);
        QVERIFY(FakeBundle::write(path, {{u"Value"_s, value}}, format));
        QFile file(path + u"/Contents/Info.plist"_s);
        QVERIFY(contents.isNull() || (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) >= 0));
        file.close();
        const AppBundle bundle(path);
        QCOMPARE(bundle.infoPlistPath(), file.fileName());
        QCOMPARE(bundle.infoValue(u"Value"_s).typeId(), value.typeId());
        QCOMPARE(bundle.infoValue(u"Value"_s), value);
    }
};

QTEST_GUILESS_MAIN(AppBundleTest)
#include "tst_app_bundle.moc"
