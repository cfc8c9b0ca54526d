#include "AvailableRelease.h"
#include "ReleaseManifest.h"
#include "ReleaseUpdateError.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace {

enum class Outcome { decoded, decoderError, invalidManifest };

const QString digest = QStringLiteral("0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");

QJsonObject artifactObject(const QString &name)
{
    return QJsonObject{{"name", name},
                       {"size", 1024},
                       {"sha256", digest},
                       {"url", "https://releases.example/" + name}};
}

QJsonObject validManifest()
{
    return QJsonObject{{"schemaVersion", 1},
                       {"component", "macos"},
                       {"version", "1.4.0"},
                       {"buildNumber", 27},
                       {"releasedAt", "2025-01-31T08:00:00Z"},
                       {"artifacts", QJsonArray{artifactObject("Quillo-Edge-macOS-arm64.dmg"),
                                                artifactObject("Quillo-Edge-macOS-x86_64.dmg")}}};
}

// The valid manifest with one key set (an undefined value removes it); artifact -1 is the top level.
QByteArray manifestWith(int artifact, const QString &key, const QJsonValue &value)
{
    QJsonObject manifest = validManifest();
    QJsonArray artifacts = manifest.value("artifacts").toArray();
    QJsonObject target = artifact < 0 ? manifest : artifacts.at(artifact).toObject();
    if (value.isUndefined())
        target.remove(key);
    else
        target.insert(key, value);
    if (artifact < 0)
        return QJsonDocument(target).toJson();
    artifacts.replace(artifact, target);
    manifest.insert("artifacts", artifacts);
    return QJsonDocument(manifest).toJson();
}

Outcome outcomeOf(const QByteArray &bytes)
{
    try {
        ReleaseManifest::decode(bytes);
        return Outcome::decoded;
    } catch (const ReleaseUpdateError &error) {
        return error.kind() == ReleaseUpdateError::Kind::invalidManifest ? Outcome::invalidManifest : Outcome::decoded;
    } catch (const SystemError &) {
        return Outcome::decoderError;
    }
}

} // namespace

Q_DECLARE_METATYPE(Outcome)

class TestReleaseManifest : public QObject
{
    Q_OBJECT

private slots:
    void decodesEveryField()
    {
        const ReleaseManifest manifest = ReleaseManifest::decode(QJsonDocument(validManifest()).toJson());
        QCOMPARE(manifest.schemaVersion, 1);
        QCOMPARE(manifest.component, "macos");
        QCOMPARE(manifest.version, "1.4.0");
        QCOMPARE(manifest.buildNumber, std::optional<qint64>(27));
        QCOMPARE(manifest.releasedAt, QDateTime(QDate(2025, 1, 31), QTime(8, 0), QTimeZone::utc()));
        QCOMPARE(manifest.artifacts.size(), 2);
        QCOMPARE(manifest.artifacts[1],
                 (ReleaseArtifact{"Quillo-Edge-macOS-x86_64.dmg", 1024, digest,
                                  QUrl("https://releases.example/Quillo-Edge-macOS-x86_64.dmg")}));
    }

    void judgesEachKey_data()
    {
        QTest::addColumn<int>("artifact");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<Outcome>("outcome");
        const QJsonValue absent(QJsonValue::Undefined);
        const QJsonValue null(QJsonValue::Null);

        QTest::newRow("unknown key ignored") << -1 << "channel" << QJsonValue("beta") << Outcome::decoded;
        QTest::newRow("build number absent") << -1 << "buildNumber" << absent << Outcome::decoded;
        QTest::newRow("build number null") << -1 << "buildNumber" << null << Outcome::decoded;
        QTest::newRow("build number as text") << -1 << "buildNumber" << QJsonValue("27") << Outcome::decoderError;
        QTest::newRow("build number fraction") << -1 << "buildNumber" << QJsonValue(2.5) << Outcome::decoderError;
        QTest::newRow("schema version missing") << -1 << "schemaVersion" << absent << Outcome::decoderError;
        QTest::newRow("schema version as text") << -1 << "schemaVersion" << QJsonValue("1") << Outcome::decoderError;
        QTest::newRow("version as number") << -1 << "version" << QJsonValue(1.4) << Outcome::decoderError;
        QTest::newRow("artifacts as object") << -1 << "artifacts" << QJsonValue(QJsonObject()) << Outcome::decoderError;
        QTest::newRow("artifact size as text") << 1 << "size" << QJsonValue("1024") << Outcome::decoderError;
        QTest::newRow("artifact url missing") << 0 << "url" << absent << Outcome::decoderError;
        QTest::newRow("artifact url unparsable") << 0 << "url" << QJsonValue("https://exa mple/x") << Outcome::decoderError;
        QTest::newRow("date without zone") << -1 << "releasedAt" << QJsonValue("2025-01-31T08:00:00") << Outcome::decoderError;
        QTest::newRow("date with fraction") << -1 << "releasedAt" << QJsonValue("2025-01-31T08:00:00.5Z") << Outcome::decoderError;
        QTest::newRow("date lower-case t") << -1 << "releasedAt" << QJsonValue("2025-01-31t08:00:00Z") << Outcome::decoderError;
        QTest::newRow("date of no day") << -1 << "releasedAt" << QJsonValue("2025-02-30T08:00:00Z") << Outcome::decoderError;
        QTest::newRow("offset without colon") << -1 << "releasedAt" << QJsonValue("2025-01-31T08:00:00+0800") << Outcome::decoderError;
        QTest::newRow("schema version 2") << -1 << "schemaVersion" << QJsonValue(2) << Outcome::invalidManifest;
        QTest::newRow("version of two numbers") << -1 << "version" << QJsonValue("1.4") << Outcome::invalidManifest;
        QTest::newRow("version after U+FEFF") << -1 << "version" << QJsonValue(u"\uFEFF1.4.0"_s) << Outcome::invalidManifest;
        QTest::newRow("no artifacts") << -1 << "artifacts" << QJsonValue(QJsonArray()) << Outcome::invalidManifest;
        QTest::newRow("empty name") << 1 << "name" << QJsonValue("") << Outcome::invalidManifest;
        QTest::newRow("name with slash") << 1 << "name" << QJsonValue("../Quillo.dmg") << Outcome::invalidManifest;
        QTest::newRow("name dot dot") << 1 << "name" << QJsonValue("..") << Outcome::invalidManifest;
        QTest::newRow("name with leading dot") << 0 << "name" << QJsonValue(".hidden.dmg") << Outcome::decoded;
        QTest::newRow("size zero") << 0 << "size" << QJsonValue(0) << Outcome::invalidManifest;
        QTest::newRow("size negative") << 1 << "size" << QJsonValue(-1) << Outcome::invalidManifest;
        QTest::newRow("plain http") << 1 << "url" << QJsonValue("http://releases.example/a.dmg") << Outcome::invalidManifest;
        QTest::newRow("upper-case scheme") << 1 << "url" << QJsonValue("HTTPS://releases.example/a.dmg") << Outcome::invalidManifest;
        QTest::newRow("capitalised scheme") << 0 << "url" << QJsonValue("Https://releases.example/a.dmg") << Outcome::invalidManifest;
        QTest::newRow("relative url") << 1 << "url" << QJsonValue("a.dmg") << Outcome::invalidManifest;
        QTest::newRow("upper-case digest") << 0 << "sha256" << QJsonValue(digest.toUpper()) << Outcome::decoded;
        QTest::newRow("63 digits") << 0 << "sha256" << QJsonValue(digest.left(63)) << Outcome::invalidManifest;
        QTest::newRow("non-hex digit") << 0 << "sha256" << QJsonValue("g" + digest.mid(1)) << Outcome::invalidManifest;
    }

    void judgesEachKey()
    {
        QFETCH(int, artifact);
        QFETCH(QString, key);
        QFETCH(QJsonValue, value);
        QFETCH(Outcome, outcome);
        QCOMPARE(outcomeOf(manifestWith(artifact, key, value)), outcome);
    }

    void rejectsDocumentsThatAreNotManifests_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not JSON") << QByteArray("<html>");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("array") << QByteArray("[]");
        QTest::newRow("number outside the grammar") << "{\"channel\":4.e1," + QJsonDocument(validManifest()).toJson().mid(1);
        QTest::newRow("artifact not an object") << QJsonDocument(QJsonObject{{"schemaVersion", 1}, {"component", "macos"},
            {"version", "1.0.0"}, {"releasedAt", "2025-01-31T08:00:00Z"}, {"artifacts", QJsonArray{1}}}).toJson();
    }

    void rejectsDocumentsThatAreNotManifests()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(outcomeOf(bytes), Outcome::decoderError);
    }

    void decodingFailsBeforeValidation()
    {
        // Schema 2 alone would be invalid, but the missing URL is found first.
        QJsonObject manifest = validManifest();
        manifest.insert("schemaVersion", 2);
        manifest.insert("artifacts", QJsonArray{QJsonObject{{"name", "a.dmg"}, {"size", 1}, {"sha256", digest}}});
        QCOMPARE(outcomeOf(QJsonDocument(manifest).toJson()), Outcome::decoderError);
    }

    void keepsTheInstantOfAnOffsetTime()
    {
        const ReleaseManifest manifest = ReleaseManifest::decode(manifestWith(-1, "releasedAt", "2025-01-31T16:30:00+08:30"));
        QCOMPARE(manifest.releasedAt, QDateTime(QDate(2025, 1, 31), QTime(8, 0), QTimeZone::utc()));
    }

    void versionLabelShowsTheBuildNumber_data()
    {
        QTest::addColumn<QJsonValue>("buildNumber");
        QTest::addColumn<QString>("label");
        QTest::newRow("with build") << QJsonValue(27) << "1.4.0 (27)";
        QTest::newRow("without build") << QJsonValue(QJsonValue::Undefined) << "1.4.0";
    }

    void versionLabelShowsTheBuildNumber()
    {
        QFETCH(QJsonValue, buildNumber);
        QFETCH(QString, label);
        const AvailableRelease release{ReleaseManifest::decode(manifestWith(-1, "buildNumber", buildNumber)), std::nullopt};
        QCOMPARE(release.versionLabel(), label);
    }

};

QTEST_GUILESS_MAIN(TestReleaseManifest)
#include "tst_release_manifest.moc"
