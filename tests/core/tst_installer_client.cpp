#include "service/InstallerClient.h"
#include "service/InstallerClientError.h"
#include "service/ServiceStatus.h"

#include <QtTest>

#include <signal.h>

using namespace Qt::StringLiterals;

const QJsonObject completeStatus
    = QJsonDocument::fromJson(
          R"({"installed":true,"managed":true,"running":true,"healthy":false,"autoStart":true,"version":"1.2.3",)"
          R"("host":"127.0.0.1","port":6176,"url":"http://127.0.0.1:6176","installRoot":"/r","dataDir":"/d","logDir":"/l"})")
          .object();

class InstallerClientTest : public QObject
{
    Q_OBJECT

    QTemporaryDir folder_;
    int scripts_ = 0;

    // Written without execute permission: the client hands the script to /bin/sh.
    InstallerClient clientFor(const QString &body)
    {
        QFile file(folder_.filePath(QStringLiteral("installer %1.sh").arg(++scripts_)));
        if (!file.open(QIODevice::WriteOnly) || file.write(body.toUtf8()) < 0)
            qFatal("cannot write a fixture script");
        return InstallerClient(file.fileName());
    }

    template<typename Call>
    static QString failureOf(Call call)
    {
        try {
            call();
        } catch (const InstallerClientError &error) {
            return error.errorDescription();
        }
        return {};
    }

private slots:
    // The background child still holds both pipes when the script ends; no test leaves it behind.
    void returnsLargeOutputsWithoutWaitingForABackgroundChild()
    {
        const qint64 size = 64 * 1024 * 1024;
        QElapsedTimer timer;
        timer.start();
        const InstallerCommandResult result
            = clientFor(QStringLiteral("sleep 30 &\necho $!\nhead -c %1 /dev/zero | tr '\\0' o &\nhead -c %1 /dev/zero "
                                       "| tr '\\0' e >&2\nwait $!\n")
                            .arg(size))
                  .run({});
        const qint64 elapsed = timer.elapsed();
        const pid_t child = pid_t(result.standardOutput.section(u'\n', 0, 0).toLongLong());
        QVERIFY2(child > 0 && ::kill(child, SIGKILL) == 0, qPrintable(result.standardOutput.left(100)));
        QVERIFY2(elapsed < 10000, "waited for the background child");
        QCOMPARE(result.standardOutput.count(u'o'), size);
        QCOMPARE(result.standardError.count(u'e'), size);
    }

    void runPassesScriptArgumentsEnvironmentAndFolder()
    {
        qputenv("QUILLO_CLIENT_TEST_MARKER", "marker value");
        const InstallerClient client
            = clientFor(QStringLiteral("printf '%s|' \"$0\" \"$@\" \"$QUILLO_CLIENT_TEST_MARKER\" \"$(pwd)\"\n"));
        const QStringList arguments{"install", "--binary", "/a b/c", "--json"};
        const QStringList expected
            = QStringList{client.installerPath()} + arguments + QStringList{"marker value", QDir::currentPath(), ""};
        QCOMPARE(client.run(arguments).standardOutput, expected.join(u'|'));
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
        QTest::newRow("standard error trimmed of Unicode white space")
            << "printf ' \\343\\200\\200失败\\342\\200\\250\\n' >&2\nexit 1\n" << "失败";
        QTest::newRow("exit code when nothing else") << "printf '  \\n' >&2\nexit 3\n"
                                                     << "服务命令执行失败（3）";
        QTest::newRow("killed by a signal") << "kill -9 $$\n" << "服务命令执行失败（9）";
        // Output is decoded as it arrives, and must be valid UTF-8 as a whole.
        QTest::newRow("a character split between writes")
            << "printf '\\344' >&2\nsleep 0.2\nprintf '\\270\\255\\n' >&2\nexit 1\n" << "中";
        QTest::newRow("ends inside a character")
            << "printf '失败\\360\\237' >&2\nsleep 0.2\nprintf '\\230' >&2\nexit 2\n" << "服务命令执行失败（2）";
        QTest::newRow("no script") << QString() << "安装器资源不存在：" + folder_.filePath("absent.sh");
    }

    void failureDescription()
    {
        QFETCH(QString, script);
        QFETCH(QString, expected);
        const InstallerClient client
            = script.isNull() ? InstallerClient(folder_.filePath("absent.sh")) : clientFor(script);
        QCOMPARE(failureOf([&] { client.run({QStringLiteral("start"), QStringLiteral("--json")}); }), expected);
    }

    void status_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("failure");
        const QByteArray record = QJsonDocument(completeStatus).toJson(QJsonDocument::Compact);
        const QString unreadable = QStringLiteral("无法读取服务状态：");
        QTest::newRow("record between line separators") << "log\u2028" + record + "\u0085" << "";
        QTest::newRow("record then log line") << record + "\ndone checking\n" << unreadable + "done checking";
        QTest::newRow("only newlines") << "\n\r\n\n"_ba << unreadable + "状态命令没有返回内容";
        QTest::newRow("invalid UTF-8 reads as empty") << record + "\n\377\n" << unreadable + "状态命令没有返回内容";
        QTest::newRow("a line of spaces is a line") << record + "\n   \n" << unreadable + "   ";
        // A record decodes as a whole or not at all.
        const auto changed = [&](const char *name, const QString &key, const QJsonValue &value, bool decodes) {
            QJsonObject object = completeStatus;
            value.isUndefined() ? void(object.remove(key)) : void(object.insert(key, value));
            const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact);
            QTest::newRow(name) << line << (decodes ? QString() : unreadable + QString::fromUtf8(line));
        };
        changed("extra key", "futureField", "ignored", true);
        for (const QString &key : completeStatus.keys())
            changed(qPrintable("missing " + key), key, QJsonValue::Undefined, false);
        changed("running as text", "running", "true", false);
    }

    // The script answers only "status --json", and what it writes to standard error is ignored.
    void status()
    {
        QFETCH(QByteArray, output);
        QFETCH(QString, failure);
        qputenv("QUILLO_CLIENT_TEST_OUTPUT", output);
        const InstallerClient client = clientFor(QStringLiteral(
            "[ \"$*\" = 'status --json' ] || exit 9\nprintf %s \"$QUILLO_CLIENT_TEST_OUTPUT\"\necho oops >&2\n"));
        QJsonObject decoded;
        QCOMPARE(failureOf([&] { decoded = client.status().toJson(); }), failure);
        QCOMPARE(decoded, failure.isEmpty() ? completeStatus : QJsonObject());
    }

    void eventDecoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("complete") << QByteArray(R"({"event":"s","progress":40,"message":"m"})") << true;
        QTest::newRow("no message") << QByteArray(R"({"event":"s","progress":40})") << false;
        QTest::newRow("NUL after the value") << R"({"event":"s","progress":40,"message":"m"})" "\0{"_ba << false;
        QTest::newRow("progress text") << QByteArray(R"({"event":"s","progress":"40","message":"m"})") << false;
        // Strict JSON only, even in a key no event uses.
        for (const char *value : {"\"s\t\"", R"("\a")", R"("\ud800")", "4.e1", "1.", ".7", "-.5"})
            QTest::addRow("x: %s", value)
                << R"({"event":"s","progress":1,"message":"m","x":)" + QByteArray(value) + "}" << false;
        QTest::newRow("tiny number") << QByteArray(R"({"event":"s","progress":1,"message":"m","x":1e-400})") << true;
        // An integer is a whole number in the signed 64-bit range, however it is written.
        QTest::newRow("progress written 4.0e1")
            << QByteArray(R"({"event":"s","progress":4.0e1,"message":"m"})") << true;
        for (const char *progress : {"1e-400", "9223372036854775808", "-9223372036854775809"})
            QTest::addRow("progress %s", progress)
                << R"({"event":"s","message":"m","progress":)" + QByteArray(progress) + "}" << false;
    }

    // Event lines are read as the installer client reads a command's output.
    void eventDecoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, decodes);
        QCOMPARE(InstallerClient::events(QString::fromUtf8(json)).size(), decodes ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(InstallerClientTest)
#include "tst_installer_client.moc"
