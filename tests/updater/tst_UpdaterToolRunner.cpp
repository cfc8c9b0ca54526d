#include "ManagerUpdater.h"
#include "UpdaterError.h"
#include "UpdaterTestBed.h"

#include <QtTest>

class UpdaterToolRunnerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void drainsBothStreamsCompletely();
    void decodesOnlyValidUtf8();
    void reportsFailedTools_data();
    void reportsFailedTools();
    void passesLaunchErrorsThrough();

private:
    ProcessResult shell(const QString &script);

    UpdaterTestBed bed_;
    std::optional<UpdateLogger> logger_;
    std::optional<ManagerUpdater> updater_;
};

void UpdaterToolRunnerTest::initTestCase()
{
    QVERIFY(bed_.isValid());
    logger_.emplace(bed_.home());
    updater_.emplace(bed_.environment(), *logger_);
}

ProcessResult UpdaterToolRunnerTest::shell(const QString &script)
{
    return updater_->run(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
}

void UpdaterToolRunnerTest::drainsBothStreamsCompletely()
{
    // Far beyond a pipe's buffer on both streams at once: a runner that reads one stream only
    // after the other ends would hang here.
    const ProcessResult result = shell(QStringLiteral(
        "i=0; while [ $i -lt 4000 ]; do echo 'out 0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz'; "
        "echo 'err 0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz' >&2; i=$((i+1)); done"));
    QCOMPARE(result.standardOutput.size(), 4000 * 77);
    QCOMPARE(result.standardError.size(), 4000 * 77);
    QVERIFY(result.standardOutput.endsWith(QStringLiteral("xyz\n")));
}

void UpdaterToolRunnerTest::decodesOnlyValidUtf8()
{
    const ProcessResult result = shell(QStringLiteral("printf 'a\\377b'; printf '正常' >&2"));
    QCOMPARE(result.standardOutput, QString());
    QCOMPARE(result.standardError, QStringLiteral("正常"));
}

void UpdaterToolRunnerTest::reportsFailedTools_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("message");

    QTest::newRow("trimmed detail") << QStringLiteral("echo ignored; printf ' \\n boom\\n line two \\n\\n' >&2; exit 3")
                                    << QStringLiteral("执行 /bin/sh 失败：boom\n line two");
    QTest::newRow("unicode white space trimmed") << QStringLiteral("printf '\\343\\200\\200坏\\302\\240' >&2; exit 1")
                                                 << QStringLiteral("执行 /bin/sh 失败：坏");
    QTest::newRow("no detail, no colon") << QStringLiteral("echo only output; exit 1") << QStringLiteral("执行 /bin/sh 失败");
    QTest::newRow("blank detail") << QStringLiteral("echo '  ' >&2; exit 1") << QStringLiteral("执行 /bin/sh 失败");
    QTest::newRow("killed by a signal") << QStringLiteral("echo dying >&2; kill -KILL $$")
                                        << QStringLiteral("执行 /bin/sh 失败：dying");
}

void UpdaterToolRunnerTest::reportsFailedTools()
{
    QFETCH(QString, script);
    QFETCH(QString, message);
    try {
        shell(script);
        QFAIL("the tool's failure was not reported");
    } catch (const UpdaterError &error) {
        QCOMPARE(error.errorCase(), UpdaterError::Case::commandFailed);
        QCOMPARE(error.errorDescription(), message);
    }
}

void UpdaterToolRunnerTest::passesLaunchErrorsThrough()
{
    try {
        updater_->run(bed_.home() + QStringLiteral("/no-such-tool"), {});
        QFAIL("a missing tool was run");
    } catch (const UpdaterError &) {
        QFAIL("a launch error was re-worded as an updater error");
    } catch (const UserFacingError &error) {
        QVERIFY(!error.errorDescription().isEmpty());
    }
}

QTEST_GUILESS_MAIN(UpdaterToolRunnerTest)
#include "tst_UpdaterToolRunner.moc"
