#include "LocalHttpsServer.h"
#include "ReleaseFeedClient.h"
#include "ReleaseUpdateError.h"
#include "TestCertificate.h"
#include "WaitForTask.h"

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

const QByteArray manifest =
    R"({"schemaVersion":1,"component":"macos","version":"1.4.0","releasedAt":"2025-01-31T08:00:00Z","artifacts":[)"
    R"({"name":"a.dmg","size":3,"sha256":"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa","url":"https://127.0.0.1/a.dmg"}]})";

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
        const QString digest = QString::fromLatin1(QCryptographicHash::hash(content_, QCryptographicHash::Sha256).toHex());
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
        QTest::newRow("one byte over") << ScriptedResponse::ok(manifest.leftJustified((1 << 20) + 1, ' ')) << invalidManifest;
        QTest::newRow("endless") << endless << invalidManifest;
        QTest::newRow("not found") << ScriptedResponse::withStatus(404, manifest) << "下载安装包失败（404）";
        QTest::newRow("not modified") << ScriptedResponse::withStatus(304) << "下载安装包失败（304）";
        QTest::newRow("partial content") << ScriptedResponse::withStatus(206, manifest) << "下载安装包失败（206）";
        QTest::newRow("not JSON") << ScriptedResponse::ok("<html>") << systemError;
        QTest::newRow("schema 2") << ScriptedResponse::ok(QByteArray(manifest).replace(":1,", ":2,")) << invalidManifest;
    }

    // Every fetch asks past any cache, its query replaced with the time in seconds.
    void fetchJudgesTheAnswer()
    {
        QFETCH(ScriptedResponse, response);
        QFETCH(QString, outcome);
        server_->route(manifestPath, response);
        QCOMPARE(outcomeOf(client().fetchManifest(server_->url(manifestPath + "?channel=beta&checkedAt=1"))), outcome);
        const RecordedRequest request = server_->requests().value(0);
        QVERIFY2(QRegularExpression(u"^GET %1\\?checkedAt=\\d{10}$"_s.arg(manifestPath)).match(request.method + ' ' + request.target).hasMatch(),
                 request.target.constData());
        QCOMPARE(request.header("Cache-Control"), "no-cache");
    }

    // A file is no HTTP answer. An untrusted certificate, a closed port and a stop while the
    // server stays silent are transport errors.
    void failuresWithoutAnHttpAnswer()
    {
        QFile file(folder_->filePath("manifest.json"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(manifest) > 0);
        file.close();
        QCOMPARE(outcomeOf(client().fetchManifest(QUrl::fromLocalFile(file.fileName()))), "下载安装包失败（0）");
        server_->route(manifestPath, ScriptedResponse::ok(manifest));
        const QUrl url = server_->url(manifestPath);
        QCOMPARE(outcomeOf(ReleaseFeedClient().fetchManifest(url)), systemError);
        server_.reset();
        QCOMPARE(outcomeOf(client().fetchManifest(url)), systemError);
        QTcpServer silent;  // accepts the connection but never answers the TLS handshake
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        std::stop_source stop;
        QTimer::singleShot(200, [&] { stop.request_stop(); });
        QCOMPARE(outcomeOf(client().fetchManifest(QUrl(u"https://127.0.0.1:%1/m.json"_s.arg(silent.serverPort())), stop.get_token())), systemError);
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
        QTest::newRow("one byte extra") << ScriptedResponse::ok(content_ + 'x') << sizeMismatch << none;
        QTest::newRow("endless") << endless << sizeMismatch << none;
        QTest::newRow("corrupted") << ScriptedResponse::ok(corrupted) << "安装包安全校验失败，请重新下载" << none;
        QTest::newRow("not found") << ScriptedResponse::withStatus(404, content_) << "下载安装包失败（404）" << "older"_ba;
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

    // A name that is no plain file name is refused before anything is fetched or made.
    void downloadMakesItsFolderAndFollowsRedirects()
    {
        ReleaseArtifact artifact = artifactAt("/latest.dmg");
        artifact.name = "../escaped.dmg";
        const QString folder = folder_->filePath("Quillo Updates/nested");
        QCOMPARE(outcomeOf(client().downloadAndVerify(artifact, folder)), invalidManifest);
        QVERIFY(server_->requests().isEmpty());
        QCOMPARE(everythingIn(folder_->path()), QStringList());

        server_->route("/latest.dmg", ScriptedResponse::redirect(server_->url("/a.dmg"), 301));
        server_->route("/a.dmg", ScriptedResponse::ok(content_));
        artifact = artifactAt("/latest.dmg");
        artifact.sha256 = artifact.sha256.toUpper();
        QCOMPARE(waitForTask(client().downloadAndVerify(artifact, folder)), QDir(folder).absoluteFilePath(imageName));
        QCOMPARE(readAll(QDir(folder).absoluteFilePath(imageName)), content_);
    }
};

QTEST_GUILESS_MAIN(TestReleaseFeedClient)
#include "tst_release_feed_client.moc"
