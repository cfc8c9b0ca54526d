// Black-box runs of the stand-in installer script (through InstallerClient, as the manager runs
// it) and of the print service it installs. Every service listens on a free loopback port and
// lives under a temporary folder; nothing here touches the real home or leaves 127.0.0.1.

#include "InstallerClient.h"
#include "Fetched.h"
#include "InstallerClientError.h"

#include <QDir>
#include <QNetworkProxy>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <httplib.h>

#include <memory>

namespace {

const QString installerPath = QStringLiteral(QUILLO_TEST_INSTALLER);
const QString serverPath = QStringLiteral(QUILLO_TEST_SERVER);

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        qFatal("no free loopback port");
    return probe.serverPort();
}

// The status of the answer to one request written as it goes on the wire; 0 when none came.
int statusOf(quint16 port, QByteArray request)
{
    request.replace("{port}", QByteArray::number(port));
    QTcpSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000))
        return 0;
    socket.write(request);
    QByteArray answer;
    QDeadlineTimer deadline(5000);
    while (!answer.contains("\r\n") && socket.waitForReadyRead(int(deadline.remainingTime())))
        answer += socket.readAll();
    return answer.startsWith("HTTP/1.1 ") ? answer.mid(9, 3).toInt() : 0;
}

httplib::Result get(quint16 port, const std::string &path)
{
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(std::chrono::seconds(2));
    return client.Get(path);
}

QByteArray upload(const QByteArray &fileName, const QByteArray &content, const QByteArray &extraHeaders = {})
{
    const QByteArray body = "--b\r\nContent-Disposition: form-data; name=\"note\"\r\n\r\nhi\r\n"
                            "--b\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" + fileName
        + "\"\r\n\r\n" + content + "\r\n--b--\r\n";
    return "POST /upload HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nContent-Type: multipart/form-data; boundary=b\r\n"
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

void writeFile(const QString &path, const QByteArray &content, QFile::Permissions extra = {})
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.setPermissions(file.permissions() | extra);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The service run straight from the build, for request-level checks.
class DirectServer
{
public:
    DirectServer(quint16 port, const QString &dataDir)
    {
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.start(serverPath, {"--port", QString::number(port), "--data-dir", dataDir});
        ready = QTest::qWaitFor([&] { return bool(get(port, "/health")); }, 5000);
    }
    ~DirectServer()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }

    bool ready = false;

private:
    QProcess process_;
};

} // namespace

class TestEdgeServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void serviceLifecycle();
    void installAdoptsUnmanagedInstall();
    void refusesBadInput_data();
    void refusesBadInput();
    void refusesSecondInstallWhileOneRuns();
    void failedInstallPutsBackWhatWasThere_data();
    void failedInstallPutsBackWhatWasThere();
    void startRefusesAnotherServiceOnThePort();
    void uploadsNeverReplaceAFile();
    void answersRequests_data();
    void answersRequests();

private:
    bool runOk(const QStringList &arguments, QString *lastMessage = nullptr);
    QString runFailing(const QStringList &arguments);
    ServiceStatus status() { return installer_.status(); }
    bool noHiddenLeftovers() const;

    std::unique_ptr<QTemporaryDir> root_;
    QString serviceHome_;
    QString fakeHome_;
    quint16 port_ = 0;
    InstallerClient installer_{installerPath};
};

void TestEdgeServer::init()
{
    root_ = std::make_unique<QTemporaryDir>();
    // Quotes, a space and a backslash: every path the script prints must survive JSON.
    serviceHome_ = root_->filePath(QStringLiteral("service \"home\" 'x' \\ y"));
    fakeHome_ = root_->filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(serviceHome_) && QDir().mkpath(fakeHome_));
    port_ = freeLoopbackPort();
    // InstallerClient hands the script this process's environment, as the manager does.
    qputenv("QUILLO_EDGE_SERVER_HOME", serviceHome_.toUtf8());
    qputenv("QUILLO_EDGE_SERVER_PORT", QByteArray::number(port_));
    qputenv("HOME", fakeHome_.toUtf8());
    for (const char *variable : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME"})
        qunsetenv(variable);
}

void TestEdgeServer::cleanup()
{
    runOk({"stop", "--json"});
    QCOMPARE(statusOf(port_, "GET /health HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n\r\n"), 0);
    // The script never writes to the home folder when its own folder is moved.
    QCOMPARE(QDir(fakeHome_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    root_.reset();
}

// Succeeds with progress events that only move forward, within 0 to 100, and end at 100.
bool TestEdgeServer::runOk(const QStringList &arguments, QString *lastMessage)
{
    try {
        const QList<InstallerEvent> events = InstallerClient::events(installer_.run(arguments).standardOutput);
        qint64 last = 0;
        for (const InstallerEvent &event : events) {
            if (event.progress < last || event.progress > 100)
                return false;
            last = event.progress;
        }
        if (lastMessage && !events.isEmpty())
            *lastMessage = events.last().message;
        return last == 100;
    } catch (const UserFacingError &error) {
        qWarning("%s failed: %s", qPrintable(arguments.join(u' ')), error.what());
        return false;
    }
}

// The failure's user-facing message; empty when the command did not fail as a command.
QString TestEdgeServer::runFailing(const QStringList &arguments)
{
    try {
        installer_.run(arguments);
    } catch (const InstallerClientError &error) {
        if (error.kind() == InstallerClientError::Kind::commandFailed)
            return error.errorDescription();
    }
    return {};
}

bool TestEdgeServer::noHiddenLeftovers() const
{
    return !QDir(serviceHome_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).join(u' ').contains(u'.');
}

void TestEdgeServer::serviceLifecycle()
{
    QVERIFY(runOk({"install", "--binary", serverPath, "--autostart", "--json"}));
    ServiceStatus s = status();
    QVERIFY(s.installed && s.managed && s.running && s.healthy && s.autoStart);
    QCOMPARE(s.version, QStringLiteral(QUILLO_TEST_SERVER_VERSION));
    QCOMPARE(s.url, QStringLiteral("http://127.0.0.1:%1").arg(port_));
    for (const QString &folder : {s.installRoot, s.dataDir, s.logDir})
        QVERIFY2(folder.startsWith(serviceHome_ + u'/') && QFileInfo(folder).isDir(), qPrintable(folder));

    const auto page = get(port_, "/");
    QVERIFY(page && page->get_header_value("Content-Type") == "text/html; charset=utf-8");
    const QString html = QString::fromStdString(page->body);
    QVERIFY(html.contains(u"上传") && html.contains(u"action=\"/upload\"") && html.contains(u"https://quillo.dev"));

    QVERIFY(runOk({"stop", "--json"}));
    s = status();
    QVERIFY(s.installed && !s.running && !s.healthy && !get(port_, "/health"));
    QVERIFY(runOk({"start", "--json"}) && status().healthy);
    QVERIFY(runOk({"disable", "--json"}) && !status().autoStart);
    QVERIFY(runOk({"enable", "--json"}) && status().autoStart);
    QVERIFY(runOk({"restart", "--json"}) && status().healthy);
    QVERIFY(runOk({"upgrade", "--version", "2.3.4", "--json"}));
    QCOMPARE(status().version, QStringLiteral("2.3.4"));
    QVERIFY(QString::fromStdString(get(port_, "/health")->body).contains(u"\"version\":\"2.3.4\""));

    writeFile(QDir(s.dataDir).filePath(QStringLiteral("history.json")), "[1]");
    QVERIFY(runOk({"uninstall", "--json"}));
    const ServiceStatus after = status();
    QVERIFY(!after.installed && !after.running && !after.autoStart && !QFileInfo::exists(s.installRoot));
    QCOMPARE(readFile(QDir(s.dataDir).filePath(QStringLiteral("history.json"))), QByteArray("[1]"));
}

void TestEdgeServer::installAdoptsUnmanagedInstall()
{
    QVERIFY(runOk({"install", "--binary", serverPath, "--json"}));
    const ServiceStatus before = status();
    // The stand-in's own managed mark; an older installation has none.
    QVERIFY(QFile::remove(QDir(before.installRoot).filePath(QStringLiteral("managed"))));
    writeFile(QDir(before.dataDir).filePath(QStringLiteral("pairings.json")), "{\"a\":1}");
    QVERIFY(!status().managed);

    QString message;
    QVERIFY(runOk({"install", "--binary", serverPath, "--autostart", "--json"}, &message));
    QVERIFY(message.contains(u"接管"));
    const ServiceStatus s = status();
    QVERIFY(s.installed && s.managed && s.healthy && s.autoStart);
    QCOMPARE(readFile(QDir(s.dataDir).filePath(QStringLiteral("pairings.json"))), QByteArray("{\"a\":1}"));
    QVERIFY(noHiddenLeftovers());
}

void TestEdgeServer::refusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown command") << QStringList{"frobnicate", "--json"} << "未知命令：frobnicate";
    QTest::newRow("no binary") << QStringList{"install", "--autostart", "--json"} << "缺少参数 --binary";
    QTest::newRow("missing binary") << QStringList{"install", "--binary", "{dir}/nothing", "--json"} << "找不到打印服务程序";
    QTest::newRow("binary not executable") << QStringList{"install", "--binary", "{dir}/plain", "--json"} << "不可执行";
    QTest::newRow("binary is another program")
        << QStringList{"install", "--binary", "{dir}/other", "--autostart", "--json"} << "不是 Quillo Edge 打印服务程序";
    QTest::newRow("upgrade to a bad version") << QStringList{"upgrade", "--version", "1.0;rm", "--json"} << "版本号无效";
    QTest::newRow("start when not installed") << QStringList{"start", "--json"} << "尚未安装";
}

void TestEdgeServer::refusesBadInput()
{
    QFETCH(QStringList, arguments);
    const QString dir = root_->path();
    writeFile(dir + QStringLiteral("/plain"), "#!/bin/sh\n");
    writeFile(dir + QStringLiteral("/other"), "#!/bin/sh\necho not a version\n", QFile::ExeOwner);
    QVERIFY2(runFailing(arguments.replaceInStrings(QStringLiteral("{dir}"), dir)).contains(FETCHED(QString, message)),
             qPrintable(arguments.join(u' ')));
    const ServiceStatus s = status();
    QVERIFY(!s.installed && !s.running && !s.autoStart);
    QCOMPARE(QDir(serviceHome_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
}

void TestEdgeServer::refusesSecondInstallWhileOneRuns()
{
    // A "service" that holds the first install at its version check until the test lets go,
    // and then cannot serve, so the first install fails after all.
    const QString dir = root_->path();
    writeFile(dir + QStringLiteral("/slow-server"),
              QStringLiteral("#!/bin/sh\n[ \"$1\" = --print-version ] || exit 3\n: > '%1/entered'\n"
                             "i=0; while [ ! -e '%1/release' ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n"
                             "echo 9.9.9\n").arg(dir).toUtf8(), QFile::ExeOwner);
    QProcess first;
    first.start(QStringLiteral("/bin/sh"), {installerPath, "install", "--binary", dir + "/slow-server", "--json"});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir + QStringLiteral("/entered")), 10000);
    const QString refusal = runFailing({"install", "--binary", serverPath, "--json"});
    writeFile(dir + QStringLiteral("/release"), {});
    QVERIFY(first.waitForFinished(15000));
    QVERIFY(refusal.contains(u"另一个安装器命令正在运行"));
    QVERIFY(first.exitCode() != 0 && !status().installed && noHiddenLeftovers());
    QVERIFY(runOk({"install", "--binary", serverPath, "--json"})); // the lock is gone
}

void TestEdgeServer::failedInstallPutsBackWhatWasThere_data()
{
    QTest::addColumn<bool>("unmanagedBefore");
    QTest::newRow("nothing installed") << false;
    QTest::newRow("unmanaged install") << true;
}

void TestEdgeServer::failedInstallPutsBackWhatWasThere()
{
    QFETCH(bool, unmanagedBefore);
    if (unmanagedBefore) {
        QVERIFY(runOk({"install", "--binary", serverPath, "--json"}));
        QVERIFY(runOk({"upgrade", "--version", "0.9.0", "--json"}) && runOk({"stop", "--json"}));
        QVERIFY(QFile::remove(status().installRoot + QStringLiteral("/managed")));
    }
    QTcpServer squatter;
    QVERIFY(squatter.listen(QHostAddress::LocalHost, port_));
    QVERIFY(runFailing({"install", "--binary", serverPath, "--autostart", "--json"}).contains(u"端口已被占用"));
    squatter.close();

    const ServiceStatus s = status();
    QVERIFY(s.installed == unmanagedBefore && !s.managed && !s.running && !s.autoStart);
    QCOMPARE(s.version, unmanagedBefore ? QStringLiteral("0.9.0") : QString());
    QVERIFY(noHiddenLeftovers());
}

void TestEdgeServer::startRefusesAnotherServiceOnThePort()
{
    QVERIFY(runOk({"install", "--binary", serverPath, "--json"}) && runOk({"stop", "--json"}));
    // A healthy answer from someone else's process must not pass for the service's own.
    DirectServer other(port_, root_->filePath(QStringLiteral("other")));
    QVERIFY(other.ready);
    QVERIFY(runFailing({"start", "--json"}).contains(u"端口已被占用"));
    const ServiceStatus s = status();
    QVERIFY(s.installed && !s.running && !s.healthy);
}

void TestEdgeServer::uploadsNeverReplaceAFile()
{
    const QString dataDir = root_->filePath(QStringLiteral("data"));
    DirectServer server(port_, dataDir);
    QVERIFY(server.ready);
    // Looks like a part boundary but is not one: the content must arrive byte for byte.
    static const char raw[] = "first\r\n--not-the-boundary\r\n\0\xff end";
    const QByteArray content(raw, sizeof raw - 1);
    QCOMPARE(statusOf(port_, upload("报告 1.txt", content)), 303);
    QCOMPARE(statusOf(port_, upload("报告 1.txt", "second")), 303);
    QCOMPARE(readFile(dataDir + QStringLiteral("/报告 1.txt")), content);
    QCOMPARE(readFile(dataDir + QStringLiteral("/报告 1 (2).txt")), QByteArray("second"));
    const QString page = QString::fromStdString(get(port_, "/?uploaded=%E6%8A%A5%E5%91%8A")->body);
    QVERIFY(page.contains(u"报告 1 (2).txt") && page.contains(u"已上传：报告"));
}

void TestEdgeServer::answersRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    const QByteArray host = "Host: 127.0.0.1:{port}\r\n";
    QTest::newRow("page") << QByteArray("GET / HTTP/1.1\r\n" + host + "\r\n") << 200;
    QTest::newRow("page by name") << QByteArray("GET / HTTP/1.1\r\nHost: LOCALHOST:{port}\r\n\r\n") << 200;
    QTest::newRow("health head") << QByteArray("HEAD /health HTTP/1.1\r\n" + host + "\r\n") << 200;
    QTest::newRow("unknown path") << QByteArray("GET /admin HTTP/1.1\r\n" + host + "\r\n") << 404;
    QTest::newRow("upload by get") << QByteArray("GET /upload HTTP/1.1\r\n" + host + "\r\n") << 405;
    QTest::newRow("another site's name") << QByteArray("GET / HTTP/1.1\r\nHost: evil.example:{port}\r\n\r\n") << 421;
    QTest::newRow("another port") << QByteArray("GET / HTTP/1.1\r\nHost: 127.0.0.1:1\r\n\r\n") << 421;
    QTest::newRow("no host") << QByteArray("GET / HTTP/1.0\r\n\r\n") << 421;
    // A body is bounded by its stated length, and refused before it arrives.
    QTest::newRow("huge body") << QByteArray("POST /upload HTTP/1.1\r\n" + host + "Content-Length: 999999999999\r\n\r\n") << 413;
    QTest::newRow("chunked") << QByteArray("POST /upload HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked\r\n\r\n") << 411;
    QTest::newRow("not a form") << QByteArray("POST /upload HTTP/1.1\r\n" + host + "Content-Length: 2\r\n\r\nhi") << 415;
    QTest::newRow("form of another site") << upload("a.txt", "x", "Origin: http://evil.example\r\n") << 403;
    QTest::newRow("form of another port") << upload("a.txt", "x", "Origin: http://127.0.0.1:1\r\n") << 403;
    QTest::newRow("link from another site") << upload("a.txt", "x", "Referer: http://evil.example/x\r\n") << 403;
    QTest::newRow("form of this page") << upload("a.txt", "x", "Origin: http://127.0.0.1:{port}\r\n") << 303;
    QTest::newRow("link from this page") << upload("a.txt", "x", "Referer: http://localhost:{port}/\r\n") << 303;
    QTest::newRow("parent folder") << upload("../escape.txt", "x") << 400;
    QTest::newRow("windows path") << upload("..\\\\escape.txt", "x") << 400;
    QTest::newRow("dot dot") << upload("..", "x") << 400;
    QTest::newRow("no file chosen") << upload("", "") << 400;
    QTest::newRow("not utf-8") << upload("\xff\xfe.txt", "x") << 400;
}

void TestEdgeServer::answersRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    const QString dataDir = root_->filePath(QStringLiteral("direct/data"));
    DirectServer server(port_, dataDir);
    QVERIFY(server.ready);
    QCOMPARE(statusOf(port_, request), status);
    // Still serving, and nothing was written beside the data folder.
    QVERIFY(get(port_, "/health"));
    QCOMPARE(QDir(root_->filePath(QStringLiteral("direct"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"data"});
    QCOMPARE(QDir(dataDir).entryList(QDir::Files).size(), status == 303 ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestEdgeServer)
#include "tst_edge_server.moc"
