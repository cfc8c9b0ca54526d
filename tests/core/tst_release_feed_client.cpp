#include "LocalHttpsServer.h"
#include "TestCertificate.h"
#include "WaitForTask.h"
#include "release/AvailableRelease.h"
#include "release/ManagerUpdatePolicy.h"
#include "release/ReleaseFeedClient.h"
#include "release/ReleaseLine.h"
#include "release/ReleaseUpdateError.h"

#include <QTcpServer>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString manifestPath = u"/quillo/releases/macos/latest/manifest.json"_s;
const QString imageName = u"Quillo-Edge-macOS-x86_64.dmg"_s;
const QString systemError = u"system error"_s;
const QString invalidManifest = u"发布清单格式无效"_s;
const QString sizeMismatch = u"安装包大小校验失败，请重新下载"_s;

const QString digest = u"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef"_s;
const QByteArray manifest = QByteArray(
    R"({"schemaVersion":1,"component":"macos","version":"1.4.0","buildNumber":27,)"
    R"("releasedAt":"2025-01-31T08:00:00Z","artifacts":[)" "\n"
    R"({"name":"Quillo-Edge-macOS-arm64.dmg","size":1024,"sha256":"DIGEST","url":"https://releases.example/a.dmg"},)"
    R"({"name":"Quillo-Edge-macOS-x86_64.DMG","size":1024,"sha256":"DIGEST","url":"https://releases.example/b.dmg"}]})")
    .replace("DIGEST", digest.toLatin1());

// The manifest with every occurrence of `from` replaced.
QByteArray manifestWith(const QByteArray &from, const QByteArray &to)
{
    return QByteArray(manifest).replace(from, to);
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList everythingIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

} // namespace

Q_DECLARE_METATYPE(ScriptedResponse)

class TestReleaseFeedClient : public QObject
{
    Q_OBJECT

    TestCertificate certificate_;
    std::unique_ptr<LocalHttpsServer> server_;
    std::unique_ptr<QTemporaryDir> folder_;
    const QByteArray content_ = QByteArray(300 * 1024 + 7, 'q');

    ReleaseFeedClient client() const { return ReleaseFeedClient(certificate_.clientConfiguration()); }

    ReleaseArtifact artifactAt(const QString &path) const
    {
        const QString digest
            = QString::fromLatin1(QCryptographicHash::hash(content_, QCryptographicHash::Sha256).toHex());
        return ReleaseArtifact{imageName, content_.size(), digest, server_->url(path)};
    }

    QString destination() const { return folder_->filePath(imageName); }

    // "done", the release error's description or "system error". A transfer still running after
    // a few seconds is cut off by stopping the server: an endless answer must end in the client.
    template<typename T>
    QString outcomeOf(QCoro::Task<T> task)
    {
        QTimer watchdog;
        bool cutOff = false;
        connect(&watchdog, &QTimer::timeout, this, [&] { cutOff = true; server_.reset(); });
        watchdog.start(5000);
        QString outcome = u"done"_s;
        try {
            waitForTask(std::move(task));
        } catch (const ReleaseUpdateError &error) {
            outcome = error.errorDescription();
        } catch (const SystemError &) {
            outcome = systemError;
        }
        return cutOff ? u"cut off by the server"_s : outcome;
    }

private slots:
    void initTestCase() { QVERIFY2(certificate_.isValid(), qPrintable(certificate_.error())); }

    void init()
    {
        server_ = std::make_unique<LocalHttpsServer>(certificate_);
        QVERIFY(server_->isListening());
        folder_ = std::make_unique<QTemporaryDir>();
    }

    void fetchJudgesTheAnswer_data()
    {
        QTest::addColumn<ScriptedResponse>("response");
        QTest::addColumn<QString>("outcome");
        ScriptedResponse endless;
        endless.endless = true;
        QTest::newRow("exactly one mebibyte") << ScriptedResponse::ok(manifest.leftJustified(1 << 20, ' ')) << "done";
        QTest::newRow("one byte over") << ScriptedResponse::ok(manifest.leftJustified((1 << 20) + 1, ' '))
                                       << invalidManifest;
        QTest::newRow("endless") << endless << invalidManifest;
        QTest::newRow("ends in NUL bytes") << ScriptedResponse::ok(manifest + "\0\0"_ba) << systemError;
        QTest::newRow("partial content") << ScriptedResponse::withStatus(206, manifest) << "下载安装包失败（206）";
        // Each key: a manifest that does not decode is a system error, one that decodes but is
        // refused an invalid manifest.
        const auto row = [](const char *name, const QByteArray &from, const QByteArray &to, const QString &outcome) {
            QTest::newRow(name) << ScriptedResponse::ok(manifestWith(from, to)) << outcome;
        };
        row("unknown key ignored", "{\"schemaVersion\"", "{\"channel\":\"beta\",\"schemaVersion\"", "done");
        row("build number null", "\"buildNumber\":27", "\"buildNumber\":null", "done");
        row("build number fraction", "\"buildNumber\":27", "\"buildNumber\":2.5", systemError);
        row("schema version missing", "\"schemaVersion\":1,", "", systemError);
        row("artifact url unparsable", "https://releases.example/a.dmg", "https://exa mple/x", systemError);
        row("date without zone", "08:00:00Z", "08:00:00", systemError);
        row("schema version 2", "\"schemaVersion\":1", "\"schemaVersion\":2", invalidManifest);
        for (const char *version : {"1.4", "1.4.0.1", "1.4.00", "1.+4.0", "-0.4.0", "1.4.0-beta", "1.4.0\\n", "1.4.０",
                                    "\uFEFF1.4.0", "9223372036854775808.0.0"})
            row(version, "\"1.4.0\"", "\"" + QByteArray(version) + "\"", invalidManifest);
        row("largest major", "\"1.4.0\"", "\"9223372036854775807.0.1\"", "done");
        QTest::newRow("no artifacts") << ScriptedResponse::ok(manifest.left(manifest.indexOf('[') + 1) + "]}")
                                      << invalidManifest;
        row("empty name", "Quillo-Edge-macOS-x86_64.DMG", "", invalidManifest);
        row("name with slash", "Quillo-Edge-macOS-x86_64.DMG", "../Quillo.dmg", invalidManifest);
        row("name dot dot", "Quillo-Edge-macOS-x86_64.DMG", "..", invalidManifest);
        row("size zero", "\"size\":1024", "\"size\":0", invalidManifest);
        row("plain http", "https://releases.example/b", "http://releases.example/b", invalidManifest);
        row("upper-case scheme", "https://releases.example/b", "HTTPS://releases.example/b", invalidManifest);
        row("upper-case digest", digest.toLatin1(), digest.toUpper().toLatin1(), "done");
        row("63 digits", digest.toLatin1(), digest.left(63).toLatin1(), invalidManifest);
        row("non-hex digit", digest.toLatin1(), "g" + digest.mid(1).toLatin1(), invalidManifest);
    }

    // Every fetch asks past any cache, its query replaced with the time in seconds.
    void fetchJudgesTheAnswer()
    {
        QFETCH(ScriptedResponse, response);
        QFETCH(QString, outcome);
        server_->route(manifestPath, response);
        QCOMPARE(outcomeOf(client().fetchManifest(server_->url(manifestPath + "?channel=beta&checkedAt=1"))), outcome);
        const RecordedRequest request = server_->requests().value(0);
        QVERIFY2(QRegularExpression(u"^GET %1\\?checkedAt=\\d{10}$"_s.arg(manifestPath))
                     .match(request.method + ' ' + request.target)
                     .hasMatch(),
                 request.target.constData());
        QCOMPARE(request.header("Cache-Control"), "no-cache");
    }

    // An untrusted certificate and a stop while the server stays silent are transport errors.
    void failuresWithoutAnHttpAnswer()
    {
        QCOMPARE(outcomeOf(ReleaseFeedClient().fetchManifest(server_->url(manifestPath))), systemError);
        QTcpServer silent;  // accepts the connection but never answers the TLS handshake
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        std::stop_source stop;
        QTimer::singleShot(200, [&] { stop.request_stop(); });
        QCOMPARE(outcomeOf(client().fetchManifest(QUrl(u"https://127.0.0.1:%1/m.json"_s.arg(silent.serverPort())),
                                                  stop.get_token())),
                 systemError);
    }

    void downloadVerifiesSizeThenDigest_data()
    {
        QTest::addColumn<ScriptedResponse>("response");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QByteArray>("left");  // at the destination, which held "older"
        QByteArray corrupted = content_;
        corrupted[corrupted.size() / 2] = char(corrupted[corrupted.size() / 2] ^ 1);
        ScriptedResponse dropped = ScriptedResponse::ok(content_.left(100 * 1024));
        dropped.announcedLength = content_.size();
        ScriptedResponse endless;
        endless.endless = true;
        const QByteArray none;

        QTest::newRow("exact") << ScriptedResponse::ok(content_) << "done" << content_;
        QTest::newRow("one byte short") << ScriptedResponse::ok(content_.chopped(1)) << sizeMismatch << none;
        QTest::newRow("short and corrupted") << ScriptedResponse::ok(corrupted.chopped(1)) << sizeMismatch << none;
        QTest::newRow("endless") << endless << sizeMismatch << none;
        QTest::newRow("corrupted") << ScriptedResponse::ok(corrupted) << "安装包安全校验失败，请重新下载" << none;
        QTest::newRow("not found") << ScriptedResponse::withStatus(404, content_) << "下载安装包失败（404）"
                                   << "older"_ba;
        QTest::newRow("connection dropped") << dropped << systemError << "older"_ba;
    }

    // An older file goes once a body arrived, verified or not; nothing else is left behind.
    void downloadVerifiesSizeThenDigest()
    {
        QFETCH(ScriptedResponse, response);
        QFETCH(QString, outcome);
        QFETCH(QByteArray, left);
        QFile older(destination());
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older") == 5);
        older.close();
        server_->route("/a.dmg", response);
        QCOMPARE(outcomeOf(client().downloadAndVerify(artifactAt("/a.dmg"), folder_->path())), outcome);
        QCOMPARE(readAll(destination()), left);
        QCOMPARE(everythingIn(folder_->path()), left.isNull() ? QStringList() : QStringList{imageName});
    }

    // A name that is no plain file name is refused before anything is fetched or made. A redirect
    // is followed, though not from https to a plain http server, even one that would answer.
    void downloadMakesItsFolderAndFollowsRedirects()
    {
        ReleaseArtifact artifact = artifactAt("/latest.dmg");
        artifact.name = "../escaped.dmg";
        const QString folder = folder_->filePath("Quillo Updates/nested");
        QCOMPARE(outcomeOf(client().downloadAndVerify(artifact, folder)), invalidManifest);
        QVERIFY(server_->requests().isEmpty());
        QCOMPARE(everythingIn(folder_->path()), QStringList());

        QTcpServer plain;
        QVERIFY(plain.listen(QHostAddress::LocalHost));
        connect(&plain, &QTcpServer::newConnection, this,
                [&] { plain.nextPendingConnection()->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"); });
        server_->route("/plain.dmg",
                       ScriptedResponse::redirect(QUrl(u"http://127.0.0.1:%1/a.dmg"_s.arg(plain.serverPort()))));
        QCOMPARE(outcomeOf(client().downloadAndVerify(artifactAt("/plain.dmg"), folder)), "下载安装包失败（302）");
        server_->route("/latest.dmg", ScriptedResponse::redirect(server_->url("/a.dmg"), 301));
        server_->route("/a.dmg", ScriptedResponse::ok(content_));
        artifact = artifactAt("/latest.dmg");
        artifact.sha256 = artifact.sha256.toUpper();
        QCOMPARE(waitForTask(client().downloadAndVerify(artifact, folder)), QDir(folder).absoluteFilePath(imageName));
    }

    void decodesEveryField()
    {
        const ReleaseManifest decoded = ReleaseManifest::decode(manifest);
        QCOMPARE(decoded.component, "macos");
        QCOMPARE(AvailableRelease({decoded, std::nullopt}).versionLabel(), "1.4.0 (27)");
        QCOMPARE(decoded.releasedAt, QDateTime(QDate(2025, 1, 31), QTime(8, 0), QTimeZone::utc()));
        QCOMPARE(ReleaseFeedClient::macOSArtifact(decoded, "x86_64"),
                 (ReleaseArtifact{"Quillo-Edge-macOS-x86_64.DMG", 1024, digest,
                                  QUrl("https://releases.example/b.dmg")}));
        QCOMPARE(ReleaseFeedClient::macOSArtifact(decoded, "arm"), std::nullopt);
        const ReleaseManifest unnumbered = ReleaseManifest::decode(manifestWith("\"buildNumber\":27,", ""));
        QCOMPARE(AvailableRelease({unnumbered, std::nullopt}).versionLabel(), "1.4.0");
        QCOMPARE(ReleaseManifest::decode(manifestWith("08:00:00Z", "16:30:00+08:30")).releasedAt, decoded.releasedAt);
    }

    // This build follows the Linux line: its own manifest, component, archive for this processor and words.
    void followsTheLinuxLine()
    {
        const ReleaseLine line = ReleaseLine::current();
        QCOMPARE(line.manifestURL.path() + u' ' + line.component, u"/quillo/releases/linux/latest/manifest.json linux"_s);
        ReleaseManifest release = ReleaseManifest::decode(manifest);
        const auto pick = [&](const QStringList &names) {
            release.artifacts.clear();
            for (const QString &name : names)
                release.artifacts.append({name, 1, digest, QUrl("https://releases.example/" + name)});
            return line.artifact(release, "x86_64").value_or(ReleaseArtifact()).name;
        };
        QCOMPARE(pick({imageName, u"q-linux-arm64.tar.xz"_s, u"Q-Linux-X86_64.TAR.XZ"_s}), u"Q-Linux-X86_64.TAR.XZ"_s);
        QCOMPARE(pick({imageName, u"q-linux-x86_64.tar.gz"_s}), QString());
        QCOMPARE(ReleaseUpdateError::noMatchingArtifact().errorDescription(), u"没有适合这台电脑的安装包"_s);
    }

    void decidesWhatIsNewer_data()
    {
        QTest::addColumn<QString>("offered");  // version+build
        QTest::addColumn<QString>("installed");
        QTest::addColumn<bool>("newer");
        QTest::newRow("rebuild") << "1.2.0+5" << "1.2.0+4" << true;
        QTest::newRow("installed without build") << "1.2.0+5" << "1.2.0" << false;
        QTest::newRow("offered without build") << "1.2.0" << "1.2.0+4" << false;
        QTest::newRow("higher minor, lower build") << "1.10.0+1" << "1.9.9+99" << true;
        QTest::newRow("major outweighs the rest") << "2.0.0" << "1.99.99" << true;
        QTest::newRow("minor outweighs patch") << "3.4.99" << "3.5.0" << false;
        QTest::newRow("offered not a version") << "1.2+9" << "1.1.0+1" << false;
        QTest::newRow("installed not a version") << "2.0.0+9" << "1.1+1" << false;
    }

    void decidesWhatIsNewer()
    {
        QFETCH(QString, offered);
        QFETCH(QString, installed);
        QFETCH(bool, newer);
        const auto build = [](const QString &text) {
            return text.contains(u'+') ? std::optional(text.section(u'+', 1).toLongLong()) : std::nullopt;
        };
        ReleaseManifest offer;
        offer.version = offered.section(u'+', 0, 0);
        offer.buildNumber = build(offered);
        QCOMPARE(ReleaseFeedClient::isNewer(offer, installed.section(u'+', 0, 0), build(installed)), newer);
    }

    // An update may go only to the manager's place in one of the two Applications folders.
    void acceptsOnlyTheTwoApplicationsFolders_data()
    {
        QTest::addColumn<QString>("target");  // with the home folder /Users/a
        QTest::addColumn<bool>("supported");
        QTest::newRow("system applications") << "/Applications/Quillo Edge.app" << true;
        QTest::newRow("dot-dot back in, trailing separator") << "/Applications/Sub/../Quillo Edge.app/" << true;
        QTest::newRow("another user's home") << "/Users/b/Applications/Quillo Edge.app" << false;
        QTest::newRow("other name") << "/Applications/Quillo Edge 2.app" << false;
        QTest::newRow("letter case") << "/applications/Quillo Edge.app" << false;
        QTest::newRow("inside the bundle") << "/Applications/Quillo Edge.app/Contents" << false;
    }

    void acceptsOnlyTheTwoApplicationsFolders()
    {
        QFETCH(QString, target);
        QFETCH(bool, supported);
        QCOMPARE(ManagerUpdatePolicy::isSupportedTarget(target, "/Users/a"), supported);
        QCOMPARE(ManagerUpdatePolicy::isSupportedTarget(target, "/Users/a/"), supported);
    }
};

QTEST_GUILESS_MAIN(TestReleaseFeedClient)
#include "tst_release_feed_client.moc"
