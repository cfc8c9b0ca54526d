#include "UpdateLogger.h"

#include <QtTest>

class UpdaterLogTest : public QObject
{
    Q_OBJECT

private slots:
    void stampsEachLineInUtc_data();
    void stampsEachLineInUtc();
    void appendsAcrossRuns();

private:
    static QString logPath(const QString &home);
    static QByteArray contents(const QString &home);
};

QString UpdaterLogTest::logPath(const QString &home)
{
    return home + QStringLiteral("/Library/Logs/Quillo Edge/updater.log");
}

QByteArray UpdaterLogTest::contents(const QString &home)
{
    QFile file(logPath(home));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void UpdaterLogTest::stampsEachLineInUtc_data()
{
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QByteArray>("line");

    const QDate date(2026, 3, 7);
    QTest::newRow("utc") << QDateTime(date, QTime(9, 5, 1), Qt::UTC)
                         << QByteArray("[2026-03-07T09:05:01Z] 更新\n");
    QTest::newRow("east of utc, previous day")
        << QDateTime(date, QTime(3, 0, 9), Qt::OffsetFromUTC, 8 * 3600) << QByteArray("[2026-03-06T19:00:09Z] 更新\n");
    QTest::newRow("west of utc, next year")
        << QDateTime(QDate(2025, 12, 31), QTime(23, 30, 0), Qt::OffsetFromUTC, -5 * 3600)
        << QByteArray("[2026-01-01T04:30:00Z] 更新\n");
}

void UpdaterLogTest::stampsEachLineInUtc()
{
    QFETCH(QDateTime, now);
    QFETCH(QByteArray, line);
    QTemporaryDir home;
    const UpdateLogger logger(home.path(), [now] { return now; });
    QVERIFY(QFileInfo(logPath(home.path())).dir().exists());
    QVERIFY(!QFile::exists(logPath(home.path())));

    logger.write(QStringLiteral("更新"));

    QCOMPARE(contents(home.path()), line);
}

void UpdaterLogTest::appendsAcrossRuns()
{
    QTemporaryDir home;
    const auto clock = [] { return QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC); };
    UpdateLogger(home.path(), clock).write(QStringLiteral("first"));
    const UpdateLogger second(home.path(), clock);
    second.write(QStringLiteral("second"));
    // Each line is on disk as soon as it is written.
    QCOMPARE(contents(home.path()), QByteArray("[2026-01-02T03:04:05Z] first\n[2026-01-02T03:04:05Z] second\n"));
    second.write(QStringLiteral("third"));
    QVERIFY(contents(home.path()).endsWith("] third\n"));
}

QTEST_GUILESS_MAIN(UpdaterLogTest)
#include "tst_UpdaterLog.moc"
