#include "AvailableRelease.h"
#include "ManagerUpdatePolicy.h"
#include "ReleaseFeedClient.h"
#include "ReleaseUpdateError.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

enum class Outcome { decoded, decoderError, invalidManifest };

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
        const ReleaseManifest decoded = ReleaseManifest::decode(manifest);
        QCOMPARE(decoded.schemaVersion, 1);
        QCOMPARE(decoded.component, "macos");
        QCOMPARE(AvailableRelease({decoded, std::nullopt}).versionLabel(), "1.4.0 (27)");
        QCOMPARE(decoded.releasedAt, QDateTime(QDate(2025, 1, 31), QTime(8, 0), QTimeZone::utc()));
        QCOMPARE(decoded.artifacts.size(), 2);
        QCOMPARE(ReleaseFeedClient::macOSArtifact(decoded, "x86_64"),
                 (ReleaseArtifact{"Quillo-Edge-macOS-x86_64.DMG", 1024, digest, QUrl("https://releases.example/b.dmg")}));
        QCOMPARE(ReleaseFeedClient::macOSArtifact(decoded, "arm"), std::nullopt);
        const ReleaseManifest unnumbered = ReleaseManifest::decode(manifestWith("\"buildNumber\":27,", ""));
        QCOMPARE(AvailableRelease({unnumbered, std::nullopt}).versionLabel(), "1.4.0");
        const QByteArray offset = manifestWith("08:00:00Z", "16:30:00+08:30");
        QCOMPARE(ReleaseManifest::decode(offset).releasedAt, decoded.releasedAt);
    }

    void judgesEachKey_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<Outcome>("outcome");
        const auto row = [](const char *name, const QByteArray &from, const QByteArray &to, Outcome outcome) {
            QTest::newRow(name) << manifestWith(from, to) << outcome;
        };
        using enum Outcome;
        row("unknown key ignored", "{\"schemaVersion\"", "{\"channel\":\"beta\",\"schemaVersion\"", decoded);
        row("build number null", "\"buildNumber\":27", "\"buildNumber\":null", decoded);
        row("build number fraction", "\"buildNumber\":27", "\"buildNumber\":2.5", decoderError);
        row("schema version missing", "\"schemaVersion\":1,", "", decoderError);
        row("artifact url missing", ",\"url\":\"https://releases.example/a.dmg\"", "", decoderError);
        row("artifact url unparsable", "https://releases.example/a.dmg", "https://exa mple/x", decoderError);
        row("artifact not an object", "[\n", "[1,", decoderError);
        row("date without zone", "08:00:00Z", "08:00:00", decoderError);
        row("offset without colon", "08:00:00Z", "08:00:00+0800", decoderError);
        row("number outside the grammar", "\"buildNumber\":27", "\"buildNumber\":27,\"x\":4.e1", decoderError);
        row("schema version 2", "\"schemaVersion\":1", "\"schemaVersion\":2", invalidManifest);
        // Schema 2 alone would be invalid, but decoding fails first.
        QTest::newRow("decoded before judged") << manifestWith("\"schemaVersion\":1", "\"schemaVersion\":2")
            .replace(",\"url\":\"https://releases.example/a.dmg\"", "") << decoderError;
        for (const char *version : {"1.4", "1.4.0.1", "1.4.00", "1.+4.0", "-0.4.0", "1.4.0-beta", "1.4.0\\n", "1.4.０",
                                    "\uFEFF1.4.0", "9223372036854775808.0.0"})
            row(version, "\"1.4.0\"", "\"" + QByteArray(version) + "\"", invalidManifest);
        row("largest major", "\"1.4.0\"", "\"9223372036854775807.0.1\"", decoded);
        QTest::newRow("no artifacts") << manifest.left(manifest.indexOf('[') + 1) + "]}" << invalidManifest;
        row("empty name", "Quillo-Edge-macOS-x86_64.DMG", "", invalidManifest);
        row("name with slash", "Quillo-Edge-macOS-x86_64.DMG", "../Quillo.dmg", invalidManifest);
        row("name dot dot", "Quillo-Edge-macOS-x86_64.DMG", "..", invalidManifest);
        row("name with leading dot", "Quillo-Edge-macOS-x86_64.DMG", ".hidden.dmg", decoded);
        row("size zero", "\"size\":1024", "\"size\":0", invalidManifest);
        row("plain http", "https://releases.example/b", "http://releases.example/b", invalidManifest);
        row("upper-case scheme", "https://releases.example/b", "HTTPS://releases.example/b", invalidManifest);
        row("relative url", "https://releases.example/b.dmg", "b.dmg", invalidManifest);
        row("upper-case digest", digest.toLatin1(), digest.toUpper().toLatin1(), decoded);
        row("63 digits", digest.toLatin1(), digest.left(63).toLatin1(), invalidManifest);
        row("non-hex digit", digest.toLatin1(), "g" + digest.mid(1).toLatin1(), invalidManifest);
    }

    void judgesEachKey()
    {
        QFETCH(QByteArray, document);
        QFETCH(Outcome, outcome);
        QCOMPARE(outcomeOf(document), outcome);
    }

    void decidesWhatIsNewer_data()
    {
        QTest::addColumn<QString>("offered");  // version+build
        QTest::addColumn<QString>("installed");
        QTest::addColumn<bool>("newer");
        QTest::newRow("rebuild") << "1.2.0+5" << "1.2.0+4" << true;
        QTest::newRow("older build") << "1.2.0+4" << "1.2.0+5" << false;
        QTest::newRow("installed without build") << "1.2.0+5" << "1.2.0" << false;
        QTest::newRow("offered without build") << "1.2.0" << "1.2.0+4" << false;
        QTest::newRow("higher minor, lower build") << "1.10.0+1" << "1.9.9+99" << true;
        QTest::newRow("lower version, higher build") << "1.9.9+99" << "1.10.0+1" << false;
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
        ReleaseManifest manifest;
        manifest.version = offered.section(u'+', 0, 0);
        manifest.buildNumber = build(offered);
        QCOMPARE(ReleaseFeedClient::isNewer(manifest, installed.section(u'+', 0, 0), build(installed)), newer);
    }

    // An update may go only to the manager's place in one of the two Applications folders.
    void acceptsOnlyTheTwoApplicationsFolders_data()
    {
        QTest::addColumn<QString>("target");  // with the home folder /Users/a
        QTest::addColumn<bool>("supported");
        QTest::newRow("system applications") << "/Applications/Quillo Edge.app" << true;
        QTest::newRow("dot-dot back in, trailing separator") << "/Applications/Sub/../Quillo Edge.app/" << true;
        QTest::newRow("own home") << "/Users/a/Applications/Quillo Edge.app" << true;
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

QTEST_GUILESS_MAIN(TestReleaseManifest)
#include "tst_release_manifest.moc"
