// Black-box runs of the stand-in installer script (through InstallerClient, as the manager runs
// it) and of the print service it installs. Every service listens on a free loopback port and
// lives under a temporary folder; nothing here touches the real home or leaves 127.0.0.1.

#include "InstallerClient.h"
#include "InstallerClientError.h"

#include <QDir>
#include <QFile>
#include <QNetworkProxy>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString installerPath = QStringLiteral(QUILLO_TEST_INSTALLER);
const QString serverPath = QStringLiteral(QUILLO_TEST_SERVER);
const QString serverVersion = QStringLiteral(QUILLO_TEST_SERVER_VERSION);

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        qFatal("no free loopback port");
    return probe.serverPort();
}

struct HttpAnswer
{
    int status = 0; // 0: no answer (connection refused, reset or timed out)
    QByteArray head;
    QByteArray body;
};

HttpAnswer exchange(quint16 port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000))
        return {};
    socket.write(request);
    // The service may keep the connection open: read one answer, by its length.
    QByteArray answer;
    qsizetype split = -1;
    qsizetype length = -1;
    QDeadlineTimer deadline(5000);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(int(deadline.remainingTime()));
        answer += socket.readAll();
        split = answer.indexOf("\r\n\r\n");
        if (split >= 0 && length < 0) {
            const QRegularExpressionMatch field =
                QRegularExpression(QStringLiteral("\r\nContent-Length: (\\d+)"), QRegularExpression::CaseInsensitiveOption)
                    .match(QString::fromLatin1(answer.left(split)));
            length = request.startsWith("HEAD ") || !field.hasMatch() ? 0 : field.captured(1).toLongLong();
        }
        if (split >= 0 && answer.size() >= split + 4 + length)
            break;
    }
    if (!answer.startsWith("HTTP/1.1 ") || split < 0)
        return {};
    return {answer.mid(9, 3).toInt(), answer.left(split), answer.mid(split + 4)};
}

QByteArray get(const QByteArray &path, quint16 port)
{
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n\r\n";
}

QByteArray upload(quint16 port, const QByteArray &fileName, const QByteArray &content,
                  const QByteArray &extraHeaders = {})
{
    const QByteArray boundary = "----quillo-test-boundary";
    const QByteArray body = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"note\"\r\n\r\nhi\r\n"
        + "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"" + fileName
        + "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + content + "\r\n--" + boundary + "--\r\n";
    return "POST /upload HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port)
        + "\r\nContent-Type: multipart/form-data; boundary=" + boundary
        + "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

void writeFile(const QString &path, const QByteArray &content, bool executable = false)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFile::ExeOwner);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The service itself, run straight from the build, for request-level checks.
class DirectServer
{
public:
    DirectServer(quint16 port, const QString &dataDir) : port_(port)
    {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.setStandardOutputFile(QProcess::nullDevice());
        process_.start(serverPath, {QStringLiteral("--port"), QString::number(port), QStringLiteral("--data-dir"),
                                    dataDir, QStringLiteral("--service-version"), QStringLiteral("7.7.7")});
    }
    ~DirectServer()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(5000);
    }
    bool waitUntilHealthy()
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (exchange(port_, get("/health", port_)).status == 200)
                return true;
            QTest::qWait(50);
        }
        return false;
    }

private:
    quint16 port_;
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
    void uploadLandsInDataFolder();
    void answersRequests_data();
    void answersRequests();

private:
    QList<InstallerEvent> runOk(const QStringList &arguments);
    QString runFailing(const QStringList &arguments);
    ServiceStatus status();
    QStringList serviceHomeEntries() const;

    std::unique_ptr<QTemporaryDir> root_;
    QString serviceHome_;
    QString fakeHome_;
    quint16 port_ = 0;
    InstallerClient installer_{installerPath};
    std::unique_ptr<QProcess> background_;
};

void TestEdgeServer::init()
{
    root_ = std::make_unique<QTemporaryDir>();
    QVERIFY(root_->isValid());
    // Quotes, a space and a backslash: every path the script prints must survive JSON.
    serviceHome_ = root_->filePath(QStringLiteral("service \"home\" 'x' \\ y"));
    fakeHome_ = root_->filePath(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(serviceHome_));
    QVERIFY(QDir().mkpath(fakeHome_));
    port_ = freeLoopbackPort();

    // InstallerClient hands the script this process's environment, as the manager does.
    qputenv("QUILLO_EDGE_SERVER_HOME", serviceHome_.toUtf8());
    qputenv("QUILLO_EDGE_SERVER_PORT", QByteArray::number(port_));
    qputenv("HOME", fakeHome_.toUtf8());
    qputenv("XDG_DATA_HOME", (fakeHome_ + QStringLiteral("/.local/share")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (fakeHome_ + QStringLiteral("/.config")).toUtf8());
    qputenv("XDG_STATE_HOME", (fakeHome_ + QStringLiteral("/.local/state")).toUtf8());
}

void TestEdgeServer::cleanup()
{
    if (background_) {
        writeFile(root_->filePath(QStringLiteral("release")), {});
        if (!background_->waitForFinished(15000))
            background_->kill();
        background_.reset();
    }
    try {
        installer_.run({QStringLiteral("stop"), QStringLiteral("--json")});
    } catch (const UserFacingError &error) {
        qWarning("stopping the service failed: %s", error.what());
    }
    QCOMPARE(exchange(port_, get("/health", port_)).status, 0);
    // The script never writes to the home folder when its own folder is moved.
    QCOMPARE(QDir(fakeHome_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    root_.reset();
}

QList<InstallerEvent> TestEdgeServer::runOk(const QStringList &arguments)
{
    InstallerCommandResult result;
    try {
        result = installer_.run(arguments);
    } catch (const UserFacingError &error) {
        qWarning("%s failed: %s", qPrintable(arguments.join(u' ')), error.what());
        return {};
    }
    // Progress only moves forward, within 0 to 100, and a finished command ends at 100.
    const QList<InstallerEvent> events = InstallerClient::events(result.standardOutput);
    qint64 last = 0;
    for (const InstallerEvent &event : events) {
        if (event.progress < last || event.progress > 100) {
            qWarning("%s: progress %lld after %lld", qPrintable(arguments.join(u' ')), event.progress, last);
            return {};
        }
        last = event.progress;
    }
    if (events.isEmpty() || last != 100)
        return {};
    return events;
}

// The failure's user-facing message; empty when the command did not fail as a command.
QString TestEdgeServer::runFailing(const QStringList &arguments)
{
    try {
        installer_.run(arguments);
    } catch (const InstallerClientError &error) {
        if (error.kind() == InstallerClientError::Kind::commandFailed && error.result().exitCode != 0)
            return error.errorDescription();
    } catch (const UserFacingError &) {
    }
    return {};
}

ServiceStatus TestEdgeServer::status()
{
    try {
        return installer_.status();
    } catch (const UserFacingError &error) {
        qWarning("status failed: %s", error.what());
        return {};
    }
}

QStringList TestEdgeServer::serviceHomeEntries() const
{
    return QDir(serviceHome_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

void TestEdgeServer::serviceLifecycle()
{
    QVERIFY(!runOk({"install", "--binary", serverPath, "--autostart", "--json"}).isEmpty());
    ServiceStatus s = status();
    QVERIFY(s.installed && s.managed && s.running && s.healthy && s.autoStart);
    QCOMPARE(s.version, serverVersion);
    QCOMPARE(s.host, QStringLiteral("127.0.0.1"));
    QCOMPARE(s.port, qint64(port_));
    QCOMPARE(s.url, QStringLiteral("http://127.0.0.1:%1").arg(port_));
    for (const QString &folder : {s.installRoot, s.dataDir, s.logDir})
        QVERIFY2(folder.startsWith(serviceHome_ + u'/') && QFileInfo(folder).isDir(), qPrintable(folder));

    const HttpAnswer page = exchange(port_, get("/", port_));
    QCOMPARE(page.status, 200);
    QVERIFY(page.head.contains("Content-Type: text/html; charset=utf-8"));
    const QString html = QString::fromUtf8(page.body);
    QVERIFY(html.contains(u"上传") && html.contains(u"action=\"/upload\"") && html.contains(u"https://quillo.dev"));

    QVERIFY(!runOk({"stop", "--json"}).isEmpty());
    s = status();
    QVERIFY(s.installed && !s.running && !s.healthy);
    QCOMPARE(exchange(port_, get("/health", port_)).status, 0);

    QVERIFY(!runOk({"start", "--json"}).isEmpty());
    QVERIFY(status().healthy);

    QVERIFY(!runOk({"disable", "--json"}).isEmpty());
    QVERIFY(!status().autoStart);
    QVERIFY(!runOk({"enable", "--json"}).isEmpty());
    QVERIFY(status().autoStart);

    QVERIFY(!runOk({"restart", "--json"}).isEmpty());
    QVERIFY(status().healthy);

    QVERIFY(!runOk({"upgrade", "--version", "2.3.4", "--json"}).isEmpty());
    s = status();
    QVERIFY(s.healthy);
    QCOMPARE(s.version, QStringLiteral("2.3.4"));
    QVERIFY(exchange(port_, get("/health", port_)).body.contains("\"version\":\"2.3.4\""));

    writeFile(QDir(s.dataDir).filePath(QStringLiteral("history.json")), "[1]");
    QVERIFY(!runOk({"uninstall", "--json"}).isEmpty());
    const ServiceStatus after = status();
    QVERIFY(!after.installed && !after.running && !after.autoStart);
    QVERIFY(!QFileInfo::exists(s.installRoot));
    QCOMPARE(readFile(QDir(s.dataDir).filePath(QStringLiteral("history.json"))), QByteArray("[1]"));
    QCOMPARE(exchange(port_, get("/health", port_)).status, 0);
}

void TestEdgeServer::installAdoptsUnmanagedInstall()
{
    QVERIFY(!runOk({"install", "--binary", serverPath, "--json"}).isEmpty());
    const ServiceStatus before = status();
    QVERIFY(!before.autoStart);
    // The stand-in's own managed mark; an older installation has none.
    QVERIFY(QFile::remove(QDir(before.installRoot).filePath(QStringLiteral("managed"))));
    writeFile(QDir(before.dataDir).filePath(QStringLiteral("pairings.json")), "{\"a\":1}");

    ServiceStatus s = status();
    QVERIFY(s.installed && !s.managed && s.running);

    const QList<InstallerEvent> events = runOk({"install", "--binary", serverPath, "--autostart", "--json"});
    QVERIFY(!events.isEmpty());
    QVERIFY(events.last().message.contains(u"接管"));
    s = status();
    QVERIFY(s.installed && s.managed && s.running && s.healthy && s.autoStart);
    QCOMPARE(readFile(QDir(s.dataDir).filePath(QStringLiteral("pairings.json"))), QByteArray("{\"a\":1}"));
    QVERIFY(!serviceHomeEntries().join(u' ').contains(u'.')); // no staging or backup left
}

void TestEdgeServer::refusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown command") << QStringList{"frobnicate", "--json"} << "未知命令：frobnicate";
    QTest::newRow("no command") << QStringList{} << "缺少命令";
    QTest::newRow("no binary") << QStringList{"install", "--autostart", "--json"} << "缺少参数 --binary";
    QTest::newRow("binary without path, plain output") << QStringList{"install", "--binary"} << "--binary 缺少路径";
    QTest::newRow("missing binary") << QStringList{"install", "--binary", "{dir}/nothing", "--json"}
                                    << "找不到打印服务程序";
    QTest::newRow("binary not executable") << QStringList{"install", "--binary", "{dir}/plain", "--json"}
                                           << "不可执行";
    QTest::newRow("binary is a folder") << QStringList{"install", "--binary", "{dir}", "--json"} << "不是文件";
    QTest::newRow("binary is another program")
        << QStringList{"install", "--binary", "{dir}/other", "--autostart", "--json"} << "不是 Quillo Edge 打印服务程序";
    QTest::newRow("option of another command") << QStringList{"start", "--binary", "x", "--json"} << "不接受参数";
    QTest::newRow("upgrade without version") << QStringList{"upgrade", "--json"} << "缺少参数 --version";
    QTest::newRow("upgrade to a bad version") << QStringList{"upgrade", "--version", "1.0;rm", "--json"}
                                              << "版本号无效";
    QTest::newRow("upgrade when not installed") << QStringList{"upgrade", "--version", "2.0.0", "--json"}
                                                << "尚未安装";
    QTest::newRow("start when not installed") << QStringList{"start", "--json"} << "尚未安装";
}

void TestEdgeServer::refusesBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    const QString dir = root_->filePath(QStringLiteral("fixtures"));
    QVERIFY(QDir().mkpath(dir));
    writeFile(dir + QStringLiteral("/plain"), "#!/bin/sh\n");
    writeFile(dir + QStringLiteral("/other"), "#!/bin/sh\necho not a version\n", true);
    arguments.replaceInStrings(QStringLiteral("{dir}"), dir);

    const QString description = runFailing(arguments);
    QVERIFY2(description.contains(message), qPrintable(description));
    const ServiceStatus s = status();
    QVERIFY(!s.installed && !s.running && !s.autoStart);
    QCOMPARE(serviceHomeEntries(), QStringList());
}

void TestEdgeServer::refusesSecondInstallWhileOneRuns()
{
    // A "service" that holds the first install at its version check until the test lets go,
    // and then cannot serve, so the first install fails after all.
    const QString dir = root_->path();
    const QString fake = dir + QStringLiteral("/slow-server");
    writeFile(fake, QStringLiteral("#!/bin/sh\n"
                                   "if [ \"$1\" = --print-version ]; then\n"
                                   "  : > '%1/entered'\n"
                                   "  i=0; while [ ! -e '%1/release' ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i+1)); done\n"
                                   "  echo 9.9.9; exit 0\n"
                                   "fi\n"
                                   "exit 3\n").arg(dir).toUtf8(), true);

    background_ = std::make_unique<QProcess>();
    background_->start(QStringLiteral("/bin/sh"), {installerPath, "install", "--binary", fake, "--autostart", "--json"});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir + QStringLiteral("/entered")), 10000);

    QVERIFY(runFailing({"install", "--binary", serverPath, "--json"}).contains(u"另一个安装器命令正在运行"));

    writeFile(dir + QStringLiteral("/release"), {});
    QVERIFY(background_->waitForFinished(15000));
    QVERIFY(background_->exitCode() != 0);
    const auto events = InstallerClient::events(QString::fromUtf8(background_->readAllStandardOutput()));
    QVERIFY(!events.isEmpty() && events.last().message.contains(u"启动失败"));
    background_.reset();

    const ServiceStatus s = status();
    QVERIFY(!s.installed && !s.autoStart);
    QVERIFY(!QFileInfo::exists(s.installRoot));
    QVERIFY(!serviceHomeEntries().join(u' ').contains(u'.'));
    QVERIFY(!runOk({"install", "--binary", serverPath, "--json"}).isEmpty()); // the lock is gone
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

    QString installRoot;
    if (unmanagedBefore) {
        QVERIFY(!runOk({"install", "--binary", serverPath, "--json"}).isEmpty());
        QVERIFY(!runOk({"upgrade", "--version", "0.9.0", "--json"}).isEmpty());
        QVERIFY(!runOk({"stop", "--json"}).isEmpty());
        installRoot = status().installRoot;
        QVERIFY(QFile::remove(installRoot + QStringLiteral("/managed")));
    }

    QTcpServer squatter;
    QVERIFY(squatter.listen(QHostAddress::LocalHost, port_));
    QVERIFY(runFailing({"install", "--binary", serverPath, "--autostart", "--json"}).contains(u"端口已被占用"));
    squatter.close();

    const ServiceStatus s = status();
    QCOMPARE(s.installed, unmanagedBefore);
    QVERIFY(!s.managed && !s.running && !s.autoStart);
    QCOMPARE(s.version, unmanagedBefore ? QStringLiteral("0.9.0") : QString());
    QVERIFY(!serviceHomeEntries().join(u' ').contains(u'.'));
}

void TestEdgeServer::startRefusesAnotherServiceOnThePort()
{
    QVERIFY(!runOk({"install", "--binary", serverPath, "--json"}).isEmpty());
    QVERIFY(!runOk({"stop", "--json"}).isEmpty());

    // A healthy answer from someone else's process must not pass for the service's own.
    DirectServer other(port_, root_->filePath(QStringLiteral("other")));
    QVERIFY(other.waitUntilHealthy());
    QVERIFY(runFailing({"start", "--json"}).contains(u"端口已被占用"));
    const ServiceStatus s = status();
    QVERIFY(s.installed && !s.running && !s.healthy);
}

void TestEdgeServer::uploadLandsInDataFolder()
{
    QVERIFY(!runOk({"install", "--binary", serverPath, "--json"}).isEmpty());
    const QString dataDir = status().dataDir;
    // Looks like a part boundary but is not one: the content must arrive byte for byte.
    static const char raw[] = "first\r\n--not-the-boundary\r\n\0\xff end";
    const QByteArray content(raw, sizeof raw - 1);

    HttpAnswer answer = exchange(port_, upload(port_, "报告 1.txt", content));
    QCOMPARE(answer.status, 303);
    QVERIFY(answer.head.contains("Location: /?uploaded="));
    QCOMPARE(readFile(dataDir + QStringLiteral("/报告 1.txt")), content);

    // Same name again: the first file is kept.
    QCOMPARE(exchange(port_, upload(port_, "报告 1.txt", "second")).status, 303);
    QCOMPARE(readFile(dataDir + QStringLiteral("/报告 1.txt")), content);
    QCOMPARE(readFile(dataDir + QStringLiteral("/报告 1 (2).txt")), QByteArray("second"));

    const QString page = QString::fromUtf8(exchange(port_, get("/?uploaded=%E6%8A%A5%E5%91%8A", port_)).body);
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
    QTest::newRow("no host") << QByteArray("GET / HTTP/1.1\r\n\r\n") << 421;
    QTest::newRow("huge body") << QByteArray("POST /upload HTTP/1.1\r\n" + host + "Content-Length: 999999999999\r\n\r\n")
                               << 413;
    QTest::newRow("chunked") << QByteArray("POST /upload HTTP/1.1\r\n" + host + "Transfer-Encoding: chunked\r\n\r\n")
                             << 411;
    QTest::newRow("not a form") << QByteArray("POST /upload HTTP/1.1\r\n" + host
                                              + "Content-Type: text/plain\r\nContent-Length: 2\r\n\r\nhi")
                                << 415;
    QTest::newRow("form of another site") << upload(0, "a.txt", "x", "Origin: http://evil.example\r\n") << 403;
    QTest::newRow("form of another port") << upload(0, "a.txt", "x", "Origin: http://127.0.0.1:1\r\n") << 403;
    QTest::newRow("link from another site") << upload(0, "a.txt", "x", "Referer: http://evil.example/x\r\n") << 403;
    QTest::newRow("form of this page") << upload(0, "a.txt", "x", "Origin: http://127.0.0.1:{port}\r\n") << 303;
    QTest::newRow("link from this page") << upload(0, "a.txt", "x", "Referer: http://localhost:{port}/\r\n") << 303;
    QTest::newRow("parent folder") << upload(0, "../escape.txt", "x") << 400;
    QTest::newRow("windows path") << upload(0, "..\\\\escape.txt", "x") << 400;
    QTest::newRow("dot dot") << upload(0, "..", "x") << 400;
    QTest::newRow("no file chosen") << upload(0, "", "") << 400;
    QTest::newRow("not utf-8") << upload(0, "\xff\xfe.txt", "x") << 400;
}

void TestEdgeServer::answersRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);

    const QString dataDir = root_->filePath(QStringLiteral("direct/data"));
    DirectServer server(port_, dataDir);
    QVERIFY(server.waitUntilHealthy());

    request.replace("{port}", QByteArray::number(port_));
    request.replace("127.0.0.1:0\r\n", "127.0.0.1:" + QByteArray::number(port_) + "\r\n");
    QCOMPARE(exchange(port_, request).status, status);

    // Still serving, and nothing was written beside the data folder.
    QCOMPARE(exchange(port_, get("/health", port_)).status, 200);
    QCOMPARE(QDir(root_->filePath(QStringLiteral("direct"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{"data"});
    QCOMPARE(QDir(dataDir).entryList(QDir::Files).size(), status == 303 ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestEdgeServer)
#include "test_edge_server.moc"
