// Release manifest documents: what decode() accepts holds to the manifest's rules, and it
// refuses only with the decoder's error or the invalid-manifest error.
#include "FuzzCheck.h"
#include "json/StrictJson.h"
#include "release/ReleaseManifest.h"
#include "release/ReleaseUpdateError.h"
#include "release/SemanticVersion.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTimeZone>

namespace {

bool isHexDigest(const QString &text)
{
    static const QString hexDigits = QStringLiteral("0123456789abcdefABCDEF");
    return text.size() == 64
        && std::all_of(text.begin(), text.end(), [](QChar c) { return hexDigits.contains(c); });
}

void checkArtifact(const ReleaseArtifact &artifact, const QJsonObject &written)
{
    FUZZ_CHECK(!artifact.name.isEmpty() && artifact.name != u"." && artifact.name != u"..");
    FUZZ_CHECK(!artifact.name.contains(u'/') && !artifact.name.contains(u'\\'));
    FUZZ_CHECK(artifact.size > 0);
    FUZZ_CHECK(isHexDigest(artifact.sha256));
    // The scheme counts as the document writes it, not as the URL reader folds it.
    FUZZ_CHECK(written.value(QStringLiteral("url")).toString().startsWith(QStringLiteral("https:")));
    FUZZ_CHECK(artifact.url.isValid() && artifact.url.scheme() == u"https");
    FUZZ_CHECK(written.value(QStringLiteral("name")).toString() == artifact.name);
    FUZZ_CHECK(written.value(QStringLiteral("sha256")).toString() == artifact.sha256);
}

void checkAccepted(const ReleaseManifest &manifest, const QByteArray &bytes)
{
    FUZZ_CHECK(ReleaseManifest::decode(bytes) == manifest);
    FUZZ_CHECK(manifest.schemaVersion == 1);
    FUZZ_CHECK(!bytes.contains('\0'));  // JSON has no raw NUL, not even after the value
    FUZZ_CHECK(SemanticVersion::parse(manifest.version));
    FUZZ_CHECK(manifest.releasedAt.isValid() && manifest.releasedAt.timeZone() == QTimeZone::utc());

    const QJsonObject document = parseStrictJson(bytes)->toObject();
    FUZZ_CHECK(document.value(QStringLiteral("version")).toString() == manifest.version);
    FUZZ_CHECK(document.value(QStringLiteral("component")).toString() == manifest.component);
    const QJsonValue buildNumber = document.value(QStringLiteral("buildNumber"));
    FUZZ_CHECK(manifest.buildNumber.has_value() == !(buildNumber.isUndefined() || buildNumber.isNull()));
    if (manifest.buildNumber)
        FUZZ_CHECK(buildNumber.toInteger() == *manifest.buildNumber);

    const QJsonArray artifacts = document.value(QStringLiteral("artifacts")).toArray();
    FUZZ_CHECK(!manifest.artifacts.isEmpty() && artifacts.size() == manifest.artifacts.size());
    for (qsizetype index = 0; index < artifacts.size(); ++index)
        checkArtifact(manifest.artifacts[index], artifacts[index].toObject());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    // Any other exception escapes and ends the run.
    try {
        checkAccepted(ReleaseManifest::decode(bytes), bytes);
    } catch (const ReleaseUpdateError &error) {
        FUZZ_CHECK(error.kind() == ReleaseUpdateError::Kind::invalidManifest);
        // Content is judged only after the document has decoded.
        FUZZ_CHECK(parseStrictJson(bytes).has_value());
    } catch (const SystemError &error) {
        FUZZ_CHECK(!error.errorDescription().isEmpty());
    }
    return 0;
}
