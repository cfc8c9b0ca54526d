#include "release/ReleaseFeedClient.h"

#include "release/NetworkAccess.h"
#include "release/ReleaseLine.h"
#include "release/ReleaseUpdateError.h"
#include "release/SemanticVersion.h"
#include "release/Sha256FileWriter.h"

#include <QCoroNetworkReply>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <filesystem>
#include <functional>
#include <memory>

namespace {

// Each transfer's address, outcome and time; off unless a logging rule turns it on.
Q_LOGGING_CATEGORY(feedLog, "quillo.feed", QtFatalMsg)

constexpr int requestTimeoutMilliseconds = 60'000;
// A manifest is a few hundred bytes; anything past this is not one, and reading on would only
// let an endless answer fill the memory.
constexpr qsizetype manifestSizeLimit = 1 << 20;
// Bounds what the network layer holds ahead of us while a large artifact streams in. Small, so
// each piece is hashed and written while it is still in the processor's cache: on two cores a
// 1 MiB buffer made a download 10% slower.
constexpr qint64 replyBufferSize = 128 << 10;

struct ReplyDeleter
{
    void operator()(QNetworkReply *reply) const
    {
        // The reply may still be emitting; nothing may reach handlers of a finished caller.
        reply->disconnect();
        reply->deleteLater();
    }
};
using ReplyPointer = std::unique_ptr<QNetworkReply, ReplyDeleter>;

// Takes each piece of a 200 answer's body; false stops the transfer.
using BodyConsumer = std::function<bool(const char *data, qsizetype length)>;

QUrl manifestRequestUrl(const QUrl &url)
{
    if (!url.isValid())
        return url;
    QUrl requestUrl = url;
    requestUrl.setQuery(QStringLiteral("checkedAt=") + QString::number(QDateTime::currentSecsSinceEpoch()));
    return requestUrl.isValid() ? requestUrl : url;
}

QNetworkRequest feedRequest(const QUrl &url, const std::optional<QSslConfiguration> &tls)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(requestTimeoutMilliseconds);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    if (tls)
        request.setSslConfiguration(*tls);
    return request;
}

// The HTTP status code, or 0 when the answer is not HTTP (or has not arrived).
qint64 statusCode(const QNetworkReply &reply)
{
    return reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toLongLong();
}

enum class Stop { none, status, consumer };

QString outcome(const QNetworkReply &reply, Stop stop)
{
    if (stop == Stop::consumer)
        return QStringLiteral("stopped by the reader");
    return reply.error() == QNetworkReply::NoError ? QStringLiteral("complete") : reply.errorString();
}

void logTransfer(const QNetworkReply &reply, Stop stop, const QElapsedTimer &clock)
{
    qCInfo(feedLog).nospace().noquote() << reply.url().toString() << ": HTTP " << statusCode(reply) << ", "
                                        << outcome(reply, stop) << ", " << clock.elapsed() << " ms";
}

// Moves whatever has arrived to the consumer. readAll() hands over the reply's own buffers, so
// the body is not copied once more on its way. A stop is queued rather than done here: aborting
// finishes the reply at once, which would resume the caller inside this handler.
void deliver(QNetworkReply &reply, const BodyConsumer &consume, Stop &stop)
{
    if (stop != Stop::none || reply.bytesAvailable() <= 0)
        return;
    if (statusCode(reply) != 200)
        stop = Stop::status;
    while (stop == Stop::none && reply.bytesAvailable() > 0) {
        const QByteArray chunk = reply.readAll();
        if (chunk.isEmpty())
            break;
        if (!consume(chunk.constData(), chunk.size()))
            stop = Stop::consumer;
    }
    if (stop != Stop::none)
        QMetaObject::invokeMethod(&reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

// Sends request and hands the body to consume as it arrives. Throws for a transport error and
// for any answer but HTTP 200; returns false when consume stopped the transfer.
QCoro::Task<bool> receive(QNetworkRequest request, qint64 bufferSize, BodyConsumer consume,
                          std::stop_token abandon = {})
{
    QElapsedTimer clock;
    clock.start();
    ReplyPointer reply(sharedNetworkAccess().get(request));
    // Queued for the same reason as in deliver(); dropped if the reply is gone by then.
    const std::stop_callback abandonReply(abandon, [target = reply.get()] {
        QMetaObject::invokeMethod(target, &QNetworkReply::abort, Qt::QueuedConnection);
    });
    reply->setReadBufferSize(bufferSize);
    Stop stop = Stop::none;
    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(),
                     [&] { deliver(*reply, consume, stop); });
    co_await reply.get();
    deliver(*reply, consume, stop);
    logTransfer(*reply, stop, clock);

    const qint64 status = statusCode(*reply);
    if (stop == Stop::status || (status != 0 && status != 200))
        throw ReleaseUpdateError::downloadFailed(status);
    if (stop == Stop::consumer)
        co_return false;
    if (reply->error() != QNetworkReply::NoError)
        throw SystemError(reply->errorString());
    if (status == 0)
        throw ReleaseUpdateError::downloadFailed(0);
    co_return true;
}

void createFolder(const QString &folder)
{
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error)
        throw SystemError(QString::fromLocal8Bit(error.message()));
}

// Whatever sits at the destination goes before a new file is judged, verified or not.
void clearDestination(const QString &path)
{
    QFile existing(path);
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
        if (!existing.remove())
            throw SystemError(existing.errorString());
    }
}

} // namespace

ReleaseFeedClient::ReleaseFeedClient() = default;

ReleaseFeedClient::ReleaseFeedClient(QSslConfiguration tls)
    : tls_(std::move(tls))
{
}

QUrl ReleaseFeedClient::macOSManifestURL()
{
    static const QUrl url(QStringLiteral("https://releases.quillo.dev/quillo/releases/macos/latest/manifest.json"));
    return url;
}

QUrl ReleaseFeedClient::edgeServerManifestURL()
{
    static const QUrl url(QStringLiteral("https://releases.quillo.dev/quillo/releases/edge-server/latest/manifest.json"));
    return url;
}

QCoro::Task<ReleaseManifest> ReleaseFeedClient::fetchManifest(QUrl url, std::stop_token stop) const
{
    QNetworkRequest request = feedRequest(manifestRequestUrl(url), tls_);
    request.setRawHeader("Cache-Control", "no-cache");

    QByteArray body;
    const bool complete = co_await receive(request, manifestSizeLimit + 1, [&](const char *data, qsizetype length) {
        if (body.size() + length > manifestSizeLimit)
            return false;
        body.append(data, length);
        return true;
    }, stop);
    if (!complete)
        throw ReleaseUpdateError::invalidManifest();
    co_return ReleaseManifest::decode(body);
}

QCoro::Task<QString> ReleaseFeedClient::downloadAndVerify(ReleaseArtifact artifact, QString folder) const
{
    if (!hasPlainFileName(artifact))
        throw ReleaseUpdateError::invalidManifest();
    createFolder(folder);
    const QString destination = QDir(folder).absoluteFilePath(artifact.name);

    // Oversize is caught while streaming; a write error stops the transfer as well.
    Sha256FileWriter file(folder, artifact.name);
    bool writeFailed = false;
    const bool complete = co_await receive(feedRequest(artifact.url, tls_), replyBufferSize,
                                           [&](const char *data, qsizetype length) {
                                               if (file.bytesWritten() + length > artifact.size)
                                                   return false;
                                               writeFailed = !file.write(data, length);
                                               return !writeFailed;
                                           });
    if (writeFailed)
        throw SystemError(file.errorString());

    clearDestination(destination);
    if (!complete || file.bytesWritten() != artifact.size)
        throw ReleaseUpdateError::sizeMismatch();
    if (file.finish() != artifact.sha256.toLower())
        throw ReleaseUpdateError::checksumMismatch();
    file.moveTo(destination);
    co_return destination;
}

std::optional<ReleaseArtifact> ReleaseFeedClient::macOSArtifact(const ReleaseManifest &manifest,
                                                                 const QString &architecture)
{
    return ReleaseLine::macOS().artifact(manifest, architecture);
}

bool ReleaseFeedClient::isNewer(const ReleaseManifest &manifest, const QString &installedVersion,
                                std::optional<qint64> installedBuildNumber)
{
    const auto offered = SemanticVersion::parse(manifest.version);
    const auto installed = SemanticVersion::parse(installedVersion);
    if (!offered || !installed)
        return false;
    if (*offered != *installed)
        return *offered > *installed;
    return manifest.buildNumber && installedBuildNumber && *manifest.buildNumber > *installedBuildNumber;
}
