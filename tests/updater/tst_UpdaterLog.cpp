#include "UpdateLogger.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class UpdaterLogTest : public QObject
{
    Q_OBJECT

private slots:
    void appendsStampedLinesInUtc();
};

// The folder is made with the logger, the file with its first line; later runs append.
void UpdaterLogTest::appendsStampedLinesInUtc()
{
    QTemporaryDir home;
    const QString path = home.filePath(u"Library/Logs/Quillo Edge/updater.log"_s);
    // East of UTC, so the UTC stamp falls on the day before.
    const auto clock = [] { return QDateTime(QDate(2026, 3, 7), QTime(3, 0, 9), Qt::OffsetFromUTC, 8 * 3600); };
    const UpdateLogger first(home.path(), clock);
    QVERIFY(QFileInfo(path).dir().exists());
    QVERIFY(!QFile::exists(path));
    first.write(u"更新"_s);
    UpdateLogger(home.path(), [] { return QDateTime(QDate(2025, 12, 31), QTime(23, 30), Qt::UTC); }).write(u"a\nb"_s);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "[2026-03-06T19:00:09Z] 更新\n[2025-12-31T23:30:00Z] a\nb\n"_ba);
}

QTEST_GUILESS_MAIN(UpdaterLogTest)
#include "tst_UpdaterLog.moc"
