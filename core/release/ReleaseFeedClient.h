#pragma once

#include "release/ReleaseArtifact.h"
#include "release/ReleaseManifest.h"

#include <QSslConfiguration>
#include <QString>
#include <QUrl>
#include <QtGlobal>

#include <QCoroTask>

#include <optional>
#include <stop_token>

// The manager's client of the release feed: manifests, artifact downloads, version decisions.
// Transfers go through the calling thread's shared network access; every failure is thrown.
class ReleaseFeedClient
{
public:
    // Trusts the system's certificate authorities.
    ReleaseFeedClient();
    // Trusts exactly what the given configuration trusts.
    explicit ReleaseFeedClient(QSslConfiguration tls);

    static QUrl macOSManifestURL();
    static QUrl edgeServerManifestURL();

    // Fetches past every cache and returns the validated manifest.
    // A stop request abandons the transfer; the fetch then fails with the system's error.
    QCoro::Task<ReleaseManifest> fetchManifest(QUrl url, std::stop_token stop = {}) const;
    // Downloads into folder, verifying size and SHA-256; returns the file's absolute path.
    QCoro::Task<QString> downloadAndVerify(ReleaseArtifact artifact, QString folder) const;

    // The first artifact whose name ends in "macOS-<architecture>.dmg", ignoring case.
    static std::optional<ReleaseArtifact> macOSArtifact(const ReleaseManifest &manifest, const QString &architecture);
    // False whenever either version text is not a version.
    static bool isNewer(const ReleaseManifest &manifest, const QString &installedVersion,
                        std::optional<qint64> installedBuildNumber);

private:
    std::optional<QSslConfiguration> tls_;
};
