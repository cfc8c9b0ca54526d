#include "LocalHttpsServer.h"
#include "ReleaseFeedClient.h"
#include "ReleaseUpdateError.h"
#include "TestCertificate.h"
#include "WaitForTask.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>

#include <memory>
#include <stop_token>

namespace {

enum class Outcome { verified, sizeMismatch, checksumMismatch, notFound, transportError };

const QString manifestPath = QStringLiteral("/quillo/releases/macos/latest/manifest.json");

QByteArray manifestDocument(int schemaVersion = 1)
{
    const QJsonObject artifact{{"name", "Quillo-Edge-macOS-x86_64.dmg"},
                               {"size", 3},
                               {"sha256", QString(64, u'a')},
                               {"url", "https://127.0.0.1/a.dmg"}};
    return QJsonDocument(QJsonObject{{"schemaVersion", schemaVersion},
                                     {"component", "macos"},
                                     {"version", "1.4.0"},
                                     {"releasedAt", "2025-01-31T08:00:00Z"},
                                     {"artifacts", QJsonArray{artifact}}})
        .toJson();
}

QByteArray randomBytes(qsizetype count)
{
    QByteArray bytes(count, Qt::Uninitialized);
    QRandomGenerator generator(20250131);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

QString hexDigest(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
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

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

template<typename Task>
std::optional<ReleaseUpdateError> releaseErrorOf(Task task)
{
    try {
        waitForTask(std::move(task));
    } catch (const ReleaseUpdateError &error) {
        return error;
    }
    return std::nullopt;
}

} // namespace

Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(ScriptedResponse)

class TestReleaseFeedClient : public QObject
{
    Q_OBJECT

    TestCertificate certificate_;
    std::unique_ptr<LocalHttpsServer> server_;
    std::unique_ptr<QTemporaryDir> folder_;
    const QByteArray content_ = randomBytes(300 * 1024 + 7);

    ReleaseFeedClient client() const { return ReleaseFeedClient(certificate_.clientConfiguration()); }

    ReleaseArtifact artifactAt(const QString &path) const
    {
        return ReleaseArtifact{"Quillo-Edge-macOS-x86_64.dmg", content_.size(), hexDigest(content_), server_->url(path)};
    }

    QString destination() const { return folder_->filePath("Quillo-Edge-macOS-x86_64.dmg"); }

private slots:
    void initTestCase() { QVERIFY2(certificate_.isValid(), qPrintable(certificate_.error())); }

    void init()
    {
        server_ = std::make_unique<LocalHttpsServer>(certificate_);
        QVERIFY(server_->isListening());
        folder_ = std::make_unique<QTemporaryDir>();
    }

    void fetchReplacesTheQueryAndBypassesCaches()
    {
        server_->route(manifestPath, ScriptedResponse::ok(manifestDocument()));
        QUrl url = server_->url(manifestPath);
        url.setQuery("channel=beta&checkedAt=1");

        const qint64 before = QDateTime::currentSecsSinceEpoch();
        const ReleaseManifest manifest = waitForTask(client().fetchManifest(url));
        const qint64 after = QDateTime::currentSecsSinceEpoch();

        QCOMPARE(manifest, ReleaseManifest::decode(manifestDocument()));
        QCOMPARE(server_->requests().size(), 1);
        const RecordedRequest &request = server_->requests().first();
        QCOMPARE(request.method, "GET");
        QCOMPARE(request.url().path(), manifestPath);
        const QString query = request.url().query();
        QVERIFY2(query.startsWith("checkedAt="), qPrintable(query));
        const qint64 checkedAt = query.mid(10).toLongLong();
        QVERIFY(checkedAt >= before && checkedAt <= after);
        QCOMPARE(request.header("Cache-Control"), "no-cache");
    }

    void fetchFollowsRedirects()
    {
        server_->route("/moved", ScriptedResponse::redirect(server_->url(manifestPath)));
        server_->route(manifestPath, ScriptedResponse::ok(manifestDocument()));
        QCOMPARE(waitForTask(client().fetchManifest(server_->url("/moved"))).version, "1.4.0");
        QCOMPARE(server_->requests().size(), 2);
    }

    void fetchFailsOnEveryStatusButOK_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("not found") << 404 << QStringLiteral("下载安装包失败（404）");
        QTest::newRow("not modified") << 304 << QStringLiteral("下载安装包失败（304）");
        QTest::newRow("partial content") << 206 << QStringLiteral("下载安装包失败（206）");
    }

    void fetchFailsOnEveryStatusButOK()
    {
        QFETCH(int, status);
        QFETCH(QString, message);
        server_->route(manifestPath, ScriptedResponse::withStatus(status, status == 204 || status == 304 ? QByteArray() : manifestDocument()));
        const auto error = releaseErrorOf(client().fetchManifest(server_->url(manifestPath)));
        QVERIFY(error);
        QCOMPARE(error->kind(), ReleaseUpdateError::Kind::downloadFailed);
        QCOMPARE(error->statusCode(), status);
        QCOMPARE(error->errorDescription(), message);
    }

    void fetchRefusesBodiesOverOneMebibyte_data()
    {
        QTest::addColumn<ScriptedResponse>("response");
        QTest::addColumn<bool>("accepted");
        const QByteArray manifest = manifestDocument();
        ScriptedResponse endless;
        endless.endless = true;
        QTest::newRow("endless") << endless << false;
        QTest::newRow("one byte over") << ScriptedResponse::ok(manifest + QByteArray((1 << 20) + 1 - manifest.size(), ' ')) << false;
        QTest::newRow("exactly the limit") << ScriptedResponse::ok(manifest + QByteArray((1 << 20) - manifest.size(), ' ')) << true;
    }

    void fetchRefusesBodiesOverOneMebibyte()
    {
        QFETCH(ScriptedResponse, response);
        QFETCH(bool, accepted);
        server_->route(manifestPath, response);
        const auto error = releaseErrorOf(client().fetchManifest(server_->url(manifestPath)));
        QCOMPARE(!error, accepted);
        if (error)
            QCOMPARE(error->kind(), ReleaseUpdateError::Kind::invalidManifest);
    }

    void fetchPassesDecodingAndValidationErrors()
    {
        server_->route("/garbage", ScriptedResponse::ok("<html>"));
        QVERIFY_THROWS_EXCEPTION(SystemError, waitForTask(client().fetchManifest(server_->url("/garbage"))));
        server_->route("/schema2", ScriptedResponse::ok(manifestDocument(2)));
        const auto error = releaseErrorOf(client().fetchManifest(server_->url("/schema2")));
        QVERIFY(error);
        QCOMPARE(error->kind(), ReleaseUpdateError::Kind::invalidManifest);
    }

    void answersThatAreNotHTTPFailWithZero()
    {
        writeFile(folder_->filePath("manifest.json"), manifestDocument());
        const auto error = releaseErrorOf(client().fetchManifest(QUrl::fromLocalFile(folder_->filePath("manifest.json"))));
        QVERIFY(error);
        QCOMPARE(error->kind(), ReleaseUpdateError::Kind::downloadFailed);
        QCOMPARE(error->statusCode(), 0);
    }

    void trustsOnlyTheGivenConfiguration()
    {
        server_->route(manifestPath, ScriptedResponse::ok(manifestDocument()));
        QVERIFY_THROWS_EXCEPTION(SystemError, waitForTask(ReleaseFeedClient().fetchManifest(server_->url(manifestPath))));
    }

    void transportErrorsPassThrough()
    {
        const QUrl url = server_->url(manifestPath);
        server_.reset();
        QVERIFY_THROWS_EXCEPTION(SystemError, waitForTask(client().fetchManifest(url)));
    }

    void stopAbandonsAFetchThatGetsNoAnswer()
    {
        // Accepts the connection but never answers the TLS handshake.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        std::stop_source stop;
        QCoro::Task<ReleaseManifest> fetch =
            client().fetchManifest(QUrl(QStringLiteral("https://127.0.0.1:%1/m.json").arg(silent.serverPort())),
                                   stop.get_token());
        QTimer::singleShot(200, [&] { stop.request_stop(); });
        QElapsedTimer timer;
        timer.start();
        QVERIFY_THROWS_EXCEPTION(SystemError, waitForTask(std::move(fetch)));
        QVERIFY2(timer.elapsed() < 10000, "the fetch ran on after the stop");
    }

    void downloadVerifiesSizeThenDigest_data()
    {
        QTest::addColumn<ScriptedResponse>("response");
        QTest::addColumn<bool>("upperCaseDigest");
        QTest::addColumn<Outcome>("outcome");
        QByteArray corrupted = content_;
        corrupted[corrupted.size() / 2] = char(corrupted[corrupted.size() / 2] ^ 1);
        ScriptedResponse dropped = ScriptedResponse::ok(content_.left(100 * 1024));
        dropped.announcedLength = content_.size();
        ScriptedResponse endless;
        endless.endless = true;

        QTest::newRow("exact") << ScriptedResponse::ok(content_) << false << Outcome::verified;
        QTest::newRow("upper-case digest") << ScriptedResponse::ok(content_) << true << Outcome::verified;
        QTest::newRow("one byte short") << ScriptedResponse::ok(content_.chopped(1)) << false << Outcome::sizeMismatch;
        QTest::newRow("short and corrupted") << ScriptedResponse::ok(corrupted.chopped(1)) << false << Outcome::sizeMismatch;
        QTest::newRow("one byte extra") << ScriptedResponse::ok(content_ + 'x') << false << Outcome::sizeMismatch;
        QTest::newRow("endless") << endless << false << Outcome::sizeMismatch;
        QTest::newRow("corrupted") << ScriptedResponse::ok(corrupted) << false << Outcome::checksumMismatch;
        QTest::newRow("not found") << ScriptedResponse::withStatus(404, content_) << false << Outcome::notFound;
        QTest::newRow("connection dropped") << dropped << false << Outcome::transportError;
    }

    void downloadVerifiesSizeThenDigest()
    {
        QFETCH(ScriptedResponse, response);
        QFETCH(bool, upperCaseDigest);
        QFETCH(Outcome, outcome);
        server_->route("/a.dmg", response);
        ReleaseArtifact artifact = artifactAt("/a.dmg");
        if (upperCaseDigest)
            artifact.sha256 = artifact.sha256.toUpper();

        Outcome actual = Outcome::verified;
        try {
            const QString path = waitForTask(client().downloadAndVerify(artifact, folder_->path()));
            QCOMPARE(path, destination());
            QCOMPARE(readAll(path), content_);
        } catch (const ReleaseUpdateError &error) {
            actual = error.kind() == ReleaseUpdateError::Kind::sizeMismatch       ? Outcome::sizeMismatch
                   : error.kind() == ReleaseUpdateError::Kind::checksumMismatch ? Outcome::checksumMismatch
                   : error.statusCode() == 404                                   ? Outcome::notFound
                                                                                 : Outcome::verified;
        } catch (const SystemError &) {
            actual = Outcome::transportError;
        }
        QCOMPARE(actual, outcome);
        const QStringList expected = outcome == Outcome::verified ? QStringList{"Quillo-Edge-macOS-x86_64.dmg"} : QStringList{};
        QCOMPARE(everythingIn(folder_->path()), expected);
        QCOMPARE(server_->requests().first().target, "/a.dmg");
    }

    void olderFileGoesOnlyOnceTheDownloadArrived_data()
    {
        QTest::addColumn<ScriptedResponse>("response");
        QTest::addColumn<QByteArray>("left");
        QTest::newRow("verified replaces it") << ScriptedResponse::ok(content_) << content_;
        QTest::newRow("failed check removes it") << ScriptedResponse::ok(content_.chopped(1)) << QByteArray();
        QTest::newRow("failed status keeps it") << ScriptedResponse::withStatus(500) << QByteArray("older");
    }

    void olderFileGoesOnlyOnceTheDownloadArrived()
    {
        QFETCH(ScriptedResponse, response);
        QFETCH(QByteArray, left);
        writeFile(destination(), "older");
        server_->route("/a.dmg", response);
        try {
            waitForTask(client().downloadAndVerify(artifactAt("/a.dmg"), folder_->path()));
        } catch (const ReleaseUpdateError &) {
        }
        QCOMPARE(QFile::exists(destination()), !left.isEmpty());
        QCOMPARE(readAll(destination()), left);
        QCOMPARE(everythingIn(folder_->path()).size(), left.isEmpty() ? 0 : 1);
    }

    void downloadCreatesTheFolderAndFollowsRedirects()
    {
        server_->route("/latest.dmg", ScriptedResponse::redirect(server_->url("/a.dmg"), 301));
        server_->route("/a.dmg", ScriptedResponse::ok(content_));
        const QString folder = folder_->filePath("Quillo Updates/nested");
        const QString path = waitForTask(client().downloadAndVerify(artifactAt("/latest.dmg"), folder));
        QCOMPARE(path, QDir(folder).absoluteFilePath("Quillo-Edge-macOS-x86_64.dmg"));
        QCOMPARE(readAll(path), content_);
    }

    void downloadKeepsNamesInsideTheFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent") << "../escaped.dmg";
        QTest::newRow("dot dot") << "..";
        QTest::newRow("empty") << "";
    }

    void downloadKeepsNamesInsideTheFolder()
    {
        QFETCH(QString, name);
        server_->route("/a.dmg", ScriptedResponse::ok(content_));
        ReleaseArtifact artifact = artifactAt("/a.dmg");
        artifact.name = name;
        const QString folder = folder_->filePath("inner");
        const auto error = releaseErrorOf(client().downloadAndVerify(artifact, folder));
        QVERIFY(error);
        QCOMPARE(error->kind(), ReleaseUpdateError::Kind::invalidManifest);
        QVERIFY(server_->requests().isEmpty());
        QCOMPARE(everythingIn(folder_->path()), QStringList());
    }

    void picksTheDiskImageForThisProcessor_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("chosen");
        QTest::newRow("second, upper-case extension") << QStringList{"Quillo-macOS-arm64.dmg", "Quillo-Edge-macOS-x86_64.DMG"} << 1;
        QTest::newRow("first of two matches") << QStringList{"a-macos-x86_64.dmg", "b-macOS-x86_64.dmg"} << 0;
        QTest::newRow("bare suffix") << QStringList{"macOS-x86_64.dmg"} << 0;
        QTest::newRow("other processor only") << QStringList{"Quillo-macOS-arm64.dmg"} << -1;
        QTest::newRow("suffix not at the end") << QStringList{"Quillo-macOS-x86_64.dmg.zip"} << -1;
    }

    void picksTheDiskImageForThisProcessor()
    {
        QFETCH(QStringList, names);
        QFETCH(int, chosen);
        ReleaseManifest manifest;
        for (const QString &name : names)
            manifest.artifacts.append(ReleaseArtifact{name, 1, QString(64, u'0'), QUrl("https://127.0.0.1/" + name)});
        const auto artifact = ReleaseFeedClient::macOSArtifact(manifest, "x86_64");
        QCOMPARE(artifact.has_value(), chosen >= 0);
        if (artifact)
            QCOMPARE(*artifact, manifest.artifacts[chosen]);
    }

    void decidesWhatIsNewer_data()
    {
        using Build = std::optional<qint64>;
        QTest::addColumn<QString>("offered");
        QTest::addColumn<Build>("offeredBuild");
        QTest::addColumn<QString>("installed");
        QTest::addColumn<Build>("installedBuild");
        QTest::addColumn<bool>("newer");
        QTest::newRow("rebuild") << "1.2.0" << Build(5) << "1.2.0" << Build(4) << true;
        QTest::newRow("older build") << "1.2.0" << Build(4) << "1.2.0" << Build(5) << false;
        QTest::newRow("installed without build") << "1.2.0" << Build(5) << "1.2.0" << Build() << false;
        QTest::newRow("offered without build") << "1.2.0" << Build() << "1.2.0" << Build(4) << false;
        QTest::newRow("higher minor, lower build") << "1.10.0" << Build(1) << "1.9.9" << Build(99) << true;
        QTest::newRow("lower version, higher build") << "1.9.9" << Build(99) << "1.10.0" << Build(1) << false;
        QTest::newRow("offered not a version") << "1.2" << Build(9) << "1.1.0" << Build(1) << false;
        QTest::newRow("installed not a version") << "2.0.0" << Build(9) << "1.1" << Build(1) << false;
    }

    void decidesWhatIsNewer()
    {
        QFETCH(QString, offered);
        QFETCH(std::optional<qint64>, offeredBuild);
        QFETCH(QString, installed);
        QFETCH(std::optional<qint64>, installedBuild);
        QFETCH(bool, newer);
        ReleaseManifest manifest;
        manifest.version = offered;
        manifest.buildNumber = offeredBuild;
        QCOMPARE(ReleaseFeedClient::isNewer(manifest, installed, installedBuild), newer);
    }

};

QTEST_GUILESS_MAIN(TestReleaseFeedClient)
#include "tst_release_feed_client.moc"
