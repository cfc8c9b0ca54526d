#include "InstallerClient.h"
#include "InstallerClientError.h"
#include "ProcessRun.h"
#include "UserFacingError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>

namespace {

const QString statusLine = QStringLiteral(
    R"({"installed":true,"managed":true,"running":true,"healthy":true,"autoStart":false,)"
    R"("version":"2.0.1","host":"127.0.0.1","port":7001,"url":"http://127.0.0.1:7001",)"
    R"("installRoot":"/r","dataDir":"/d","logDir":"/l"})");

} // namespace

class InstallerClientTest : public QObject
{
    Q_OBJECT

    QTemporaryDir folder_;
    int scriptCount_ = 0;

    // Writes a script without execute permission: the client hands it to /bin/sh.
    InstallerClient clientFor(const QString &body)
    {
        const QString path = folder_.filePath(QStringLiteral("installer %1.sh").arg(++scriptCount_));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write fixture script");
        file.write(body.toUtf8());
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return InstallerClient(path);
    }

    // printf with the status record as its argument, so no quoting inside the script is needed.
    static QString printStatus(const QString &format)
    {
        QString quoted = statusLine;
        return QStringLiteral("printf '%1' '%2'\n").arg(format, quoted);
    }

    template<typename Call>
    static QString failureOf(Call call)
    {
        try {
            call();
        } catch (const InstallerClientError &error) {
            return error.errorDescription();
        }
        return QStringLiteral("<no error>");
    }

private slots:
    void missingScriptStartsNothing()
    {
        const QString path = folder_.filePath(QStringLiteral("absent.sh"));
        try {
            InstallerClient(path).run({QStringLiteral("start"), QStringLiteral("--json")});
            QFAIL("expected an error");
        } catch (const InstallerClientError &error) {
            QCOMPARE(error.kind(), InstallerClientError::Kind::missingInstaller);
            QCOMPARE(error.errorDescription(), QStringLiteral("安装器资源不存在：") + path);
        }
    }

    void launchFailureIsTheSystemsOwnError()
    {
        try {
            runProcess(folder_.filePath(QStringLiteral("no-such-program")), {});
            QFAIL("expected an error");
        } catch (const SystemError &error) {
            QCOMPARE(error.errorDescription(), QString::fromLocal8Bit(std::strerror(ENOENT)));
        }
    }

    void backgroundChildHoldingThePipeDoesNotHoldTheCaller()
    {
        const QString childId = folder_.filePath(QStringLiteral("child.pid"));
        QElapsedTimer timer;
        timer.start();
        const InstallerCommandResult result =
            clientFor(QStringLiteral("sleep 30 &\necho $! > '%1'\necho started\n").arg(childId)).run({});
        const qint64 elapsed = timer.elapsed();
        // The child must still be there, holding the pipe; and no test leaves a process behind.
        QFile idFile(childId);
        QVERIFY(idFile.open(QIODevice::ReadOnly));
        const pid_t child = pid_t(idFile.readAll().trimmed().toLongLong());
        QVERIFY(child > 0);
        QCOMPARE(::kill(child, SIGKILL), 0);
        QCOMPARE(result.standardOutput, QStringLiteral("started\n"));
        QVERIFY2(elapsed < 10000, "waited for the background child");
    }

    void runPassesScriptArgumentsEnvironmentAndFolder()
    {
        qputenv("QUILLO_CLIENT_TEST_MARKER", "marker value");
        const InstallerClient client = clientFor(
            QStringLiteral("printf '%s|' \"$0\" \"$@\" \"$QUILLO_CLIENT_TEST_MARKER\" \"$(pwd)\"\n"));
        const InstallerCommandResult result = client.run(
            {QStringLiteral("install"), QStringLiteral("--binary"), QStringLiteral("/a b/c"), QStringLiteral("--json")});
        QCOMPARE(result.standardOutput,
                 QStringList({client.installerPath(), "install", "--binary", "/a b/c", "--json",
                              "marker value", QDir::currentPath(), ""})
                     .join(u'|'));
        QCOMPARE(result.exitCode, 0);
    }

    void failureDescription_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("expected");
        const QString event = QStringLiteral(R"(printf '{"event":"e","progress":%1,"message":"%2"}\n')" "\n");
        const auto onStandardError = [](const QString &lines) { return "{\n" + lines + "} >&2\n"; };
        QTest::newRow("last event on standard output wins over standard error text")
            << event.arg(10).arg("第一步") + event.arg(50).arg("端口被占用") + "echo 'plain text' >&2\nexit 1\n"
            << "端口被占用";
        QTest::newRow("standard output events beat standard error events")
            << event.arg(10).arg("输出事件") + onStandardError(event.arg(20).arg("错误事件")) + "exit 1\n"
            << "输出事件";
        QTest::newRow("events on standard error when standard output has none")
            << "echo not-an-event\n" + onStandardError(event.arg(20).arg("错误事件")) + "exit 4\n"
            << "错误事件";
        QTest::newRow("trimmed standard error")
            << "printf '  denied \\n' >&2\nexit 1\n" << "denied";
        QTest::newRow("trimming knows Unicode white space")
            << "printf '\\343\\200\\200失败\\342\\200\\250\\n' >&2\nexit 1\n" << "失败";
        QTest::newRow("exit code when nothing else") << "printf '  \\n' >&2\nexit 3\n" << "服务命令执行失败（3）";
        QTest::newRow("killed by a signal") << "kill -9 $$\n" << "服务命令执行失败（9）";
    }

    void failureDescription()
    {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        const InstallerClient client = clientFor(script);
        QCOMPARE(failureOf([&] { client.run({QStringLiteral("start"), QStringLiteral("--json")}); }), expected);
    }

    void status_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("failure");
        QTest::newRow("log line then record") << "echo 'checking service'\n" + printStatus("%s\\n") << "";
        QTest::newRow("record then blank lines") << printStatus("%s\\n\\n\\r\\n\\n") << "";
        QTest::newRow("record without final newline") << printStatus("progress line\\r\\n%s") << "";
        QTest::newRow("record after a line separator") << printStatus("log\\342\\200\\250%s\\302\\205") << "";
        QTest::newRow("record then log line")
            << printStatus("%s\\n") + "echo 'done checking'\n" << "无法读取服务状态：done checking";
        QTest::newRow("only newlines") << "printf '\\n\\r\\n\\n'\n" << "无法读取服务状态：状态命令没有返回内容";
        QTest::newRow("invalid UTF-8 reads as empty")
            << printStatus("%s\\n\\377\\n") << "无法读取服务状态：状态命令没有返回内容";
        QTest::newRow("a line of spaces is a line") << printStatus("%s\\n   \\n") << "无法读取服务状态：   ";
        QTest::newRow("incomplete record")
            << "echo '{\"installed\":true}'\n" << "无法读取服务状态：{\"installed\":true}";
        QTest::newRow("standard error is ignored on success")
            << printStatus("%s\\n") + "echo oops >&2\n" << "";
        QTest::newRow("failed run") << "echo 'no permission' >&2\nexit 2\n" << "no permission";
    }

    void status()
    {
        QFETCH(QString, script);
        QFETCH(QString, failure);
        const InstallerClient client = clientFor(script);
        if (!failure.isEmpty()) {
            QCOMPARE(failureOf([&] { client.status(); }), failure);
            return;
        }
        const ServiceStatus status = client.status();
        QCOMPARE(status.version, QStringLiteral("2.0.1"));
        QCOMPARE(status.port, 7001);
    }

    void statusCommandWords()
    {
        const InstallerClient client = clientFor(
            "[ \"$*\" = 'status --json' ] || exit 9\n" + printStatus("%s\\n"));
        QCOMPARE(client.status().url, QStringLiteral("http://127.0.0.1:7001"));
    }

    void eventsKeepOnlyEventLinesInOrder()
    {
        const QString output = QStringLiteral(
            "plain text\n"
            R"({"event":"a","progress":10,"message":"一"})" "\r\n"
            "{}\n"
            R"({"event":"b","progress":40,"message":"二"})" "\u2029"
            R"({"event":"c","progress":100,"message":"三"})");
        const QList<InstallerEvent> events = InstallerClient::events(output);
        QCOMPARE(events.size(), 3);
        QCOMPARE(events.at(0), (InstallerEvent{"a", 10, "一"}));
        QCOMPARE(events.at(1).progress, 40);
        QCOMPARE(events.at(2).message, QStringLiteral("三"));
    }

    void largeOutputsOnBothPipesAreReturnedWhole()
    {
        const qint64 size = 64 * 1024 * 1024;
        const InstallerClient client = clientFor(QStringLiteral(
            "head -c %1 /dev/zero | tr '\\0' o &\n"
            "head -c %1 /dev/zero | tr '\\0' e >&2\n"
            "wait\n").arg(size));
        const InstallerCommandResult result = client.run({});
        QCOMPARE(result.standardOutput.size(), size);
        QCOMPARE(result.standardError.size(), size);
        QCOMPARE(result.standardOutput.count(u'o'), size);
        QCOMPARE(result.standardError.count(u'e'), size);
    }
};

QTEST_GUILESS_MAIN(InstallerClientTest)
#include "tst_installer_client.moc"
