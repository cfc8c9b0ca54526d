#include "release/ReleaseManifest.h"

#include "json/JsonFields.h"
#include "json/StrictJson.h"
#include "release/ReleaseUpdateError.h"
#include "release/SemanticVersion.h"
#include "text/InternetDateTime.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

// Decoding failures are the decoder's own errors, kept apart from the manifest's validation.
[[noreturn]] void failDecoding(const QString &key, const QString &expected)
{
    throw SystemError(QStringLiteral("发布清单中“%1”的值缺失或不是%2").arg(key, expected));
}

template<typename T>
T required(std::optional<T> value, const QString &key, const QString &expected)
{
    if (!value)
        failDecoding(key, expected);
    return *value;
}

QString requiredString(const QJsonObject &object, const QString &key)
{
    return required(JsonFields::string(object, key), key, QStringLiteral("字符串"));
}

qint64 requiredInteger(const QJsonObject &object, const QString &key)
{
    return required(JsonFields::integer(object, key), key, QStringLiteral("整数"));
}

QUrl requiredUrl(const QJsonObject &object, const QString &key)
{
    const QUrl url(requiredString(object, key), QUrl::StrictMode);
    if (!url.isValid())
        failDecoding(key, QStringLiteral("有效的网址"));
    return url;
}

QDateTime requiredDateTime(const QJsonObject &object, const QString &key)
{
    return required(parseInternetDateTime(requiredString(object, key)), key,
                    QStringLiteral("ISO 8601 日期时间"));
}

std::optional<qint64> optionalInteger(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    return requiredInteger(object, key);
}

ReleaseArtifact decodeArtifact(const QJsonObject &object)
{
    ReleaseArtifact artifact;
    artifact.name = requiredString(object, QStringLiteral("name"));
    artifact.size = requiredInteger(object, QStringLiteral("size"));
    artifact.sha256 = requiredString(object, QStringLiteral("sha256"));
    artifact.url = requiredUrl(object, QStringLiteral("url"));
    return artifact;
}

QList<ReleaseArtifact> decodeArtifacts(const QJsonObject &object)
{
    const QString key = QStringLiteral("artifacts");
    const QJsonValue value = object.value(key);
    if (!value.isArray())
        failDecoding(key, QStringLiteral("数组"));
    QList<ReleaseArtifact> artifacts;
    for (const QJsonValue element : value.toArray()) {
        if (!element.isObject())
            failDecoding(key, QStringLiteral("对象数组"));
        artifacts.append(decodeArtifact(element.toObject()));
    }
    return artifacts;
}

QJsonObject parseDocument(const QByteArray &bytes)
{
    QString error;
    const auto document = parseStrictJson(bytes, &error);
    if (!document)
        throw SystemError(error);
    if (!document->isObject())
        throw SystemError(QStringLiteral("发布清单不是 JSON 对象"));
    return document->toObject();
}

ReleaseManifest decodeFields(const QJsonObject &object)
{
    ReleaseManifest manifest;
    manifest.schemaVersion = requiredInteger(object, QStringLiteral("schemaVersion"));
    manifest.component = requiredString(object, QStringLiteral("component"));
    manifest.version = requiredString(object, QStringLiteral("version"));
    manifest.buildNumber = optionalInteger(object, QStringLiteral("buildNumber"));
    manifest.releasedAt = requiredDateTime(object, QStringLiteral("releasedAt"));
    manifest.artifacts = decodeArtifacts(object);
    return manifest;
}

bool isHexDigest(const QString &text)
{
    return text.size() == 64 && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    });
}

bool isValidArtifact(const ReleaseArtifact &artifact)
{
    return hasPlainFileName(artifact) && artifact.size > 0 && artifact.url.scheme() == u"https"
        && isHexDigest(artifact.sha256);
}

bool isValid(const ReleaseManifest &manifest)
{
    return manifest.schemaVersion == 1 && SemanticVersion::parse(manifest.version) && !manifest.artifacts.isEmpty()
        && std::all_of(manifest.artifacts.cbegin(), manifest.artifacts.cend(), isValidArtifact);
}

// QUrl lower-cases the scheme it reads, so the scheme is judged as the manifest writes it.
bool writesHttpsUrls(const QJsonObject &object)
{
    const QJsonArray artifacts = object.value(QStringLiteral("artifacts")).toArray();
    return std::all_of(artifacts.cbegin(), artifacts.cend(), [](const QJsonValue &artifact) {
        return artifact.toObject().value(QStringLiteral("url")).toString().startsWith(QStringLiteral("https:"));
    });
}

} // namespace

ReleaseManifest ReleaseManifest::decode(const QByteArray &bytes)
{
    const QJsonObject document = parseDocument(bytes);
    ReleaseManifest manifest = decodeFields(document);
    if (!isValid(manifest) || !writesHttpsUrls(document))
        throw ReleaseUpdateError::invalidManifest();
    return manifest;
}
