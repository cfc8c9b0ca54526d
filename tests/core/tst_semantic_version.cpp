#include "SemanticVersion.h"

#include <QTest>

class TestSemanticVersion : public QObject
{
    Q_OBJECT

private slots:
    void parsesOnlyCanonicalTriples_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("major");
        QTest::addColumn<qint64>("minor");
        QTest::addColumn<qint64>("patch");

        QTest::newRow("zeros") << "0.0.0" << true << 0LL << 0LL << 0LL;
        QTest::newRow("largest major") << "9223372036854775807.0.1" << true << 9223372036854775807LL << 0LL << 1LL;
        QTest::newRow("major past 64 bits") << "9223372036854775808.0.0" << false << 0LL << 0LL << 0LL;
        QTest::newRow("leading zero") << "1.2.03" << false << 0LL << 0LL << 0LL;
        QTest::newRow("plus sign") << "1.2.+3" << false << 0LL << 0LL << 0LL;
        QTest::newRow("minus zero") << "-0.1.2" << false << 0LL << 0LL << 0LL;
        QTest::newRow("four pieces") << "1.2.3.4" << false << 0LL << 0LL << 0LL;
        QTest::newRow("empty piece") << "1..3" << false << 0LL << 0LL << 0LL;
        QTest::newRow("trailing newline") << "1.2.3\n" << false << 0LL << 0LL << 0LL;
        QTest::newRow("pre-release") << "1.2.3-beta" << false << 0LL << 0LL << 0LL;
        QTest::newRow("full-width digit") << QStringLiteral("1.2.３") << false << 0LL << 0LL << 0LL;
        QTest::newRow("arabic-indic digit") << QStringLiteral("1.\u0662.3") << false << 0LL << 0LL << 0LL;
    }

    void parsesOnlyCanonicalTriples()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto version = SemanticVersion::parse(text);
        QCOMPARE(version.has_value(), valid);
        if (valid) {
            QFETCH(qint64, major);
            QFETCH(qint64, minor);
            QFETCH(qint64, patch);
            QCOMPARE(*version, (SemanticVersion{major, minor, patch}));
        }
    }

    void ordersByMajorThenMinorThenPatch_data()
    {
        QTest::addColumn<QString>("lower");
        QTest::addColumn<QString>("higher");
        QTest::newRow("minor compared numerically") << "1.9.9" << "1.10.0";
        QTest::newRow("major outweighs the rest") << "1.99.99" << "2.0.0";
        QTest::newRow("minor outweighs patch") << "3.4.99" << "3.5.0";
    }

    void ordersByMajorThenMinorThenPatch()
    {
        QFETCH(QString, lower);
        QFETCH(QString, higher);
        const SemanticVersion a = *SemanticVersion::parse(lower);
        const SemanticVersion b = *SemanticVersion::parse(higher);
        QVERIFY(a < b && b > a && a != b && !(b < a) && a == *SemanticVersion::parse(lower));
    }

};

QTEST_GUILESS_MAIN(TestSemanticVersion)
#include "tst_semantic_version.moc"
