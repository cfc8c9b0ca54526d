#include <QtTest>

using namespace Qt::StringLiterals;

// Runs the shipped program itself, with a temporary home and caches folder.
class UpdaterBinaryTest : public QObject
{
    Q_OBJECT

private slots:
    void reportsArgumentErrors_data();
    void reportsArgumentErrors();

private:
    struct Outcome
    {
        int exitCode = -1;
        QByteArray standardOutput;
        QByteArray standardError;
        QStringList log;
    };
    static Outcome run(const QStringList &arguments, const QTemporaryDir &home);
};

UpdaterBinaryTest::Outcome UpdaterBinaryTest::run(const QStringList &arguments, const QTemporaryDir &home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, home.path());
    environment.insert(u"XDG_CACHE_HOME"_s, home.filePath(u"caches"_s));
    // Log stamps must be UTC whatever the local zone.
    environment.insert(u"TZ"_s, u"Asia/Shanghai"_s);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUILLO_UPDATER_BINARY), arguments);
    process.waitForFinished(60000);

    Outcome outcome;
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.standardOutput = process.readAllStandardOutput();
    outcome.standardError = process.readAllStandardError();
    QFile log(home.filePath(u"Library/Logs/Quillo Edge/updater.log"_s));
    if (log.open(QIODevice::ReadOnly))
        outcome.log = QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    return outcome;
}

void UpdaterBinaryTest::reportsArgumentErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("no command") << QStringList() << u"缺少更新命令"_s;
    QTest::newRow("name without value") << QStringList{u"prepare"_s, u"--dmg"_s} << u"更新参数格式无效：--dmg"_s;
    QTest::newRow("unknown command") << QStringList{u"update"_s, u"--a"_s, u"b"_s} << u"未知更新命令：update"_s;
    QTest::newRow("build not a number")
        << QStringList{u"prepare"_s, u"--dmg"_s, u"a.dmg"_s, u"--staged-app"_s, u"Quillo Edge.app"_s, u"--version"_s,
                       u"1.0.0"_s, u"--build"_s, u"99999999999999999999"_s}
        << u"更新参数不是数字：--build"_s;
    QTest::newRow("target outside the Applications folders")
        << QStringList{u"install"_s, u"--staged-app"_s, u"Quillo Edge.app"_s, u"--target-app"_s,
                       u"/Users/b/Applications/Quillo Edge.app"_s, u"--work-dir"_s, u"w"_s, u"--version"_s, u"1.0.0"_s,
                       u"--build"_s, u"1"_s, u"--parent-pid"_s, u"1"_s}
        << u"只允许更新“应用程序”文件夹中的 Quillo Edge"_s;
}

void UpdaterBinaryTest::reportsArgumentErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    QTemporaryDir home;
    const QDateTime started = QDateTime::currentDateTimeUtc().addSecs(-1);
    const Outcome outcome = run(arguments, home);

    QCOMPARE(outcome.exitCode, 1);
    QCOMPARE(outcome.standardError, (message + u'\n').toUtf8());
    QCOMPARE(outcome.standardOutput, QByteArray());
    QCOMPARE(outcome.log.size(), 1);
    const QString line = outcome.log.constFirst();
    QCOMPARE(line.mid(20), u"Z] Updater error: "_s + message);
    QDateTime stamp = QDateTime::fromString(line.mid(1, 19), u"yyyy-MM-dd'T'HH:mm:ss"_s);
    stamp.setTimeZone(QTimeZone::utc());
    QVERIFY2(line.startsWith(u'[') && started <= stamp && stamp <= QDateTime::currentDateTimeUtc(), qPrintable(line));
}

QTEST_GUILESS_MAIN(UpdaterBinaryTest)
#include "tst_UpdaterBinary.moc"
