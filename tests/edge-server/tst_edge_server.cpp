// The stand-in installer script (through InstallerClient, as the manager runs it) and print
// service, each on a free port of 127.0.0.1 under a temporary folder, never the real home.

#include "service/InstallerClient.h"
#include "text/UserFacingError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const QString serverPath = QStringLiteral(QUILLO_TEST_SERVER);
const QString probePath = QFileInfo(serverPath).dir().filePath(QStringLiteral("quillo-edge-health"));
const QStringList install{"install", "--binary", serverPath, "--autostart", "--json"};
// Looks like a part boundary but is not one: an upload must arrive byte for byte.
const QByteArray uploaded("first\r\n--not-the-boundary\r\n\0\xff end", 33);

const QByteArray host = "Host: 127.0.0.1:{port}\r\n";
const QByteArray fromHere = "Origin: http://127.0.0.1:{port}\r\n";

// A request as it goes on the wire; the service closes the connection after answering it.
QByteArray request(const QByteArray &line, const QByteArray &headers = host, const QByteArray &body = {})
{
    return line + " HTTP/1.1\r\n" + headers + "Connection: close\r\n\r\n" + body;
}

QByteArray upload(const QByteArray &fileName, const QByteArray &from = fromHere)
{
    const QByteArray body
        = "--b\r\nContent-Disposition: form-data; name=\"note\"\r\n\r\nhi\r\n--b\r\nContent-Disposition: form-data; "
          "name=\"file\"; filename=\""
        + fileName + "\"\r\n\r\n" + uploaded + "\r\n--b--\r\n";
    return request("POST /upload", host + "Content-Type: multipart/form-data; boundary=b\r\nContent-Length: "
                   + QByteArray::number(body.size()) + "\r\n" + from, body);
}

// The whole answer; empty when nothing listens there.
QByteArray answer(quint16 port, QByteArray request, const char *address = "127.0.0.1")
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(QString::fromLatin1(address)), port);
    socket.write(request.replace("{port}", QByteArray::number(port)));
    while (socket.waitForReadyRead(5000)) { } // until the service closes the connection
    return socket.readAll();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : "<missing>";
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly)
        && file.write(content) == content.size();
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The request kept alive, then a complete upload at byte 4096, where a reader of 4 KiB blocks would
// begin the next request.
QByteArray withHiddenUpload(QByteArray request, quint16 port)
{
    request.replace("Connection: close\r\n", "").replace("{port}", QByteArray::number(port));
    return request.leftJustified(4096, ' ') + upload("hidden.txt");
}

int mode(const QString &path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

} // namespace

class TestEdgeServer : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> root_;
    QString home_; // the service's own folder
    quint16 port_ = 0;
    InstallerClient installer_{QStringLiteral(QUILLO_TEST_INSTALLER)};

    ServiceStatus status() { return installer_.status(); }
    QString path(const QString &name) const { return root_->filePath(name); }
    bool noHiddenLeftovers() const { return !entries(home_).join(u' ').contains(u'.'); }
    int healthStatus() const { return answer(port_, request("GET /health")).mid(9, 3).toInt(); }

    // The service run straight from the build, not installed; the process ends with its object.
    std::unique_ptr<QProcess> runDirectly(const QString &dataDir)
    {
        auto process = std::make_unique<QProcess>();
        process->start(serverPath, {"--port", QString::number(port_), "--data-dir", dataDir});
        return QTest::qWaitFor([&] { return healthStatus() == 200; }, 5000) ? std::move(process) : nullptr;
    }

    // Whether the command succeeded with progress that only moved forward to 100, and its last
    // message: of its last event, or of its failure.
    std::pair<bool, QString> run(const QStringList &arguments)
    {
        try {
            const auto events = InstallerClient::events(installer_.run(arguments).standardOutput);
            return {!events.isEmpty() && events.last().progress == 100
                        && std::is_sorted(events.begin(), events.end(),
                                          [](auto &a, auto &b) { return a.progress < b.progress; }),
                    events.isEmpty() ? QString() : events.last().message};
        } catch (const UserFacingError &error) {
            return {false, error.errorDescription()};
        }
    }

private slots:
    void init()
    {
        // Quotes, a space and a backslash: every path the script prints must survive JSON.
        root_ = std::make_unique<QTemporaryDir>();
        home_ = path(QStringLiteral("service \"home\" 'x' \\ y"));
        QTcpServer probe;
        QVERIFY(QDir().mkpath(home_) && QDir().mkpath(path("home")) && probe.listen(QHostAddress::LocalHost));
        port_ = probe.serverPort();
        // InstallerClient hands the script this process's environment, as the manager does.
        qputenv("QUILLO_EDGE_SERVER_HOME", home_.toUtf8());
        qputenv("QUILLO_EDGE_SERVER_PORT", QByteArray::number(port_));
        qputenv("HOME", path("home").toUtf8());
        ::umask(0); // uploads stay private whatever the umask
    }

    void cleanup()
    {
        run({"stop", "--json"}).first;
        QCOMPARE(healthStatus(), 0);
        QCOMPARE(entries(path("home")), QStringList()); // the script keeps to its own folder
    }

    void serviceLifecycle()
    {
        QVERIFY(run({"start", "--json"}).second.contains(u"尚未安装"));
        QVERIFY(run({"install", "--binary", "/bin/true", "--json"}).second.contains(u"不是 Quillo Edge 打印服务程序"));
        // A lock of a running command holds off another; one whose command died does not.
        QVERIFY(writeFile(home_ + "/.quillo-edge.lock/pid", QByteArray::number(QCoreApplication::applicationPid())));
        QVERIFY(run(install).second.contains(u"另一个安装器命令正在运行"));
        QVERIFY(writeFile(home_ + "/.quillo-edge.lock/pid", "999999999"));
        QVERIFY(run({"install", "--binary", serverPath, "--json"}).first && run({"stop", "--json"}).first);

        // An older installation has no managed mark. Installing again while another program holds
        // the port fails and leaves it as it was; then it is adopted with its data.
        ServiceStatus s = status();
        QVERIFY(QFile::remove(s.installRoot + "/managed") && writeFile(s.dataDir + "/pairings.json", "{}"));
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::LocalHost, port_) && run(install).second.contains(u"端口已被占用"));
        QVERIFY(status().installed && !status().managed && !status().running && !status().autoStart
                && noHiddenLeftovers());
        squatter.close();
        const auto [adopted, message] = run(install);
        QVERIFY2(adopted && message.contains(u"接管"), qPrintable(message));

        s = status();
        QVERIFY(s.installed && s.managed && s.running && s.healthy && s.autoStart && noHiddenLeftovers());
        QCOMPARE(s.version + u' ' + s.url,
                 QStringLiteral(QUILLO_TEST_SERVER_VERSION " http://127.0.0.1:%1").arg(port_));
        const QByteArray page = answer(port_, request("GET /"));
        for (const char *part :
             {"Content-Type: text/html; charset=utf-8", "上传打印文件", "action=\"/upload\"", "https://quillo.dev",
              "frame-ancestors 'none'"})
            QVERIFY2(page.contains(part), part);

        QVERIFY(run({"stop", "--json"}).first && !status().running && !status().healthy && healthStatus() == 0);
        // A healthy answer from another process on the port must not pass for the service's own.
        auto other = runDirectly(path("other"));
        QVERIFY(other && run({"start", "--json"}).second.contains(u"端口已被占用") && !status().running);
        other.reset();
        QVERIFY(run({"start", "--json"}).first && status().healthy && run({"restart", "--json"}).first
                && status().healthy);
        QVERIFY(run({"disable", "--json"}).first && !status().autoStart && run({"enable", "--json"}).first
                && status().autoStart);
        // Only to the version of the program the installer carries.
        QVERIFY(run({"upgrade", "--version", "2.3.4", "--json"}).second.contains(u"无法升级到 2.3.4")
                && status().version == QUILLO_TEST_SERVER_VERSION && status().healthy);
        QVERIFY(run({"upgrade", "--version", QUILLO_TEST_SERVER_VERSION, "--json"}).first);
        QVERIFY(answer(port_, request("GET /health")).contains("\"version\":\"" QUILLO_TEST_SERVER_VERSION "\""));

        QVERIFY(run({"uninstall", "--json"}).first && !status().installed && !status().running && !status().autoStart
                && !QFileInfo::exists(s.installRoot));
        QCOMPARE(readFile(s.dataDir + "/pairings.json"), "{}");
    }

    void answersRequests_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        QTest::newRow("page by name") << request("GET /", "Host: LOCALHOST:{port}\r\n") << 200;
        QTest::newRow("upload by get") << request("GET /upload") << 405;
        QTest::newRow("another site's name") << request("GET /", "Host: evil.example:{port}\r\n") << 421;
        QTest::newRow("another port") << request("GET /", "Host: 127.0.0.1:1\r\n") << 421;
        QTest::newRow("no host") << request("GET /", "") << 421;
        // A body is bounded by its stated length, and refused before it arrives.
        QTest::newRow("huge body") << request("POST /upload", host + "Content-Length: 999999999999\r\n") << 413;
        QTest::newRow("chunked") << request("POST /upload", host + "Transfer-Encoding: chunked\r\n") << 411;
        QTest::newRow("body on a get") << request("GET /", host + "Content-Length: 5\r\n") << 400;
        const QByteArray longHeader = "X: " + QByteArray(8000, 'x') + "\r\n";
        QTest::newRow("endless headers") << request("GET /", host + longHeader.repeated(9)) << 400;
        QTest::newRow("not a form") << request("POST /upload", host + "Content-Length: 2\r\n" + fromHere, "hi") << 415;
        QTest::newRow("form of another site") << upload("a.txt", "Origin: http://evil.example\r\n") << 403;
        QTest::newRow("form of another port") << upload("a.txt", "Origin: http://127.0.0.1:1\r\n") << 403;
        QTest::newRow("link from another site") << upload("a.txt", "Referer: http://evil.example/x\r\n") << 403;
        QTest::newRow("form of nowhere") << upload("a.txt", "") << 403;
        QTest::newRow("form of this page") << upload("a.txt") << 303;
        QTest::newRow("link from this page") << upload("a.txt", "Referer: http://localhost:{port}/\r\n") << 303;
        QTest::newRow("parent folder") << upload("../a.txt") << 400;
        QTest::newRow("windows path") << upload("..\\\\a.txt") << 400;
        QTest::newRow("dot dot") << upload("..") << 400;
        QTest::newRow("no file chosen") << upload("") << 400;
        QTest::newRow("not utf-8") << upload("\xff\xfe.txt") << 400;
        QTest::newRow("right-to-left override") << upload("a\xe2\x80\xaetxt.exe") << 400;
    }

    void answersRequests()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        QVERIFY(writeFile(path("direct/data/a.txt"), "older"));
        const auto server = runDirectly(path("direct/data"));
        QVERIFY(server);
        // After a refusal nothing more is read: neither the rest of it, nor a request hidden there.
        const QByteArray reply = answer(port_, status < 400 ? request : withHiddenUpload(request, port_));
        QCOMPARE(reply.mid(9, 3).toInt() * 10 + reply.count("HTTP/1.1 "), status * 10 + 1);
        QCOMPARE(answer(port_, request, "127.0.0.2"), QByteArray()); // listens on 127.0.0.1 only
        // Still serving; an upload never replaces a file and lands in the data folder only.
        QVERIFY(answer(port_, ::request("GET /")).contains(status == 303 ? "a (2).txt" : "a.txt"));
        QCOMPARE(readFile(path("direct/data/a (2).txt")), status == 303 ? uploaded : "<missing>");
        QCOMPARE(entries(path("direct")), QStringList{"data"});
        QCOMPARE(entries(path("direct/data")).size(), status == 303 ? 2 : 1);
        QCOMPARE(std::pair(mode(path("direct/data")), mode(path("direct/data/a (2).txt"))),
                 std::pair(0700, status == 303 ? 0600 : -1));
    }

    // The health check as the probe and the service make it, against answers given here.
    void healthCheck_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("exitCode");
        const QByteArray record = R"({"pid":4242,"status":"ok","service":"quillo-edge-server"})";
        const auto ok = [](const QByteArray &body) {
            return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
        };
        QTest::newRow("its own") << ok(record) << 0;
        QTest::newRow("another process") << ok(QByteArray(record).replace("4242", "42")) << 1;
        QTest::newRow("past the size cap") << ok(record + QByteArray(70000, ' ')) << 1;
        QTest::newRow("silent") << QByteArray() << 1;
    }

    void healthCheck()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, exitCode);
        QTcpServer service;
        QVERIFY(service.listen(QHostAddress::LocalHost));
        connect(&service, &QTcpServer::newConnection, &service, [&] { service.nextPendingConnection()->write(answer); });
        const QString url = QStringLiteral("http://127.0.0.1:%1/health").arg(service.serverPort());
        for (const QString &program : {probePath, serverPath}) {
            QProcess check;
            check.start(program, {"--check-health", url, "--expect-pid", "4242", "--timeout-ms", "500"});
            QVERIFY(QTest::qWaitFor([&] { return check.state() == QProcess::NotRunning; }, 5000));
            QCOMPARE(check.exitCode(), exitCode);
        }
    }

    void slowClientsNeitherStallNorStay()
    {
        const auto server = runDirectly(path("data"));
        QVERIFY(server);
        // Half trickle in their headers, half their body: a line every 2 s.
        const QByteArray slowBody = upload("slow").replace("{port}", QByteArray::number(port_)).chopped(30);
        QTcpSocket clients[16];
        for (int i = 0; i < 16; ++i) {
            clients[i].connectToHost(QHostAddress::LocalHost, port_);
            clients[i].write(i % 2 ? "GET / HTTP/1.1\r\n" : slowBody);
            QVERIFY(clients[i].waitForBytesWritten(1000));
        }
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(healthStatus(), 200);
        QVERIFY(clock.elapsed() < 1000);
        const auto allClosed = [&] {
            return std::all_of(std::begin(clients), std::end(clients),
                               [](QTcpSocket &client) { return client.state() == QAbstractSocket::UnconnectedState; });
        };
        for (int round = 0; round < 3 && !QTest::qWaitFor(allClosed, 2000); ++round) {
            for (QTcpSocket &client : clients)
                client.write("X: y\r\n");
        }
        QVERIFY(allClosed());
    }
};

QTEST_GUILESS_MAIN(TestEdgeServer)
#include "tst_edge_server.moc"
