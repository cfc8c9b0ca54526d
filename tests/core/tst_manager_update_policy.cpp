#include "ManagerUpdatePolicy.h"

#include <QTest>

class TestManagerUpdatePolicy : public QObject
{
    Q_OBJECT

private slots:
    void acceptsOnlyTheTwoApplicationsFolders_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("home");
        QTest::addColumn<bool>("supported");

        QTest::newRow("system applications") << "/Applications/Quillo Edge.app" << "/Users/a" << true;
        QTest::newRow("dot component") << "/Applications/./Quillo Edge.app" << "/Users/a" << true;
        QTest::newRow("trailing separator") << "/Applications/Quillo Edge.app/" << "/Users/a" << true;
        QTest::newRow("dot-dot back in") << "/Applications/Sub/../Quillo Edge.app" << "/Users/a" << true;
        QTest::newRow("own home") << "/Users/a/Applications/Quillo Edge.app" << "/Users/a" << true;
        QTest::newRow("home given with trailing separator") << "/Users/a/Applications/Quillo Edge.app" << "/Users/a/" << true;
        QTest::newRow("another user's home") << "/Users/b/Applications/Quillo Edge.app" << "/Users/a" << false;
        QTest::newRow("other name") << "/Applications/Quillo Edge 2.app" << "/Users/a" << false;
        QTest::newRow("nested folder") << "/Applications/Tools/Quillo Edge.app" << "/Users/a" << false;
        QTest::newRow("letter case") << "/applications/Quillo Edge.app" << "/Users/a" << false;
        QTest::newRow("disk image") << "/Volumes/Quillo Edge/Quillo Edge.app" << "/Users/a" << false;
        QTest::newRow("inside the bundle") << "/Applications/Quillo Edge.app/Contents" << "/Users/a" << false;
    }

    void acceptsOnlyTheTwoApplicationsFolders()
    {
        QFETCH(QString, target);
        QFETCH(QString, home);
        QFETCH(bool, supported);
        QCOMPARE(ManagerUpdatePolicy::isSupportedTarget(target, home), supported);
    }

};

QTEST_GUILESS_MAIN(TestManagerUpdatePolicy)
#include "tst_manager_update_policy.moc"
