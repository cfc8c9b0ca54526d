#pragma once

#include "release/ReleaseArtifact.h"
#include "release/ReleaseManifest.h"

#include <QString>

#include <optional>

// "1.4.0 (27)" with a build number, "1.4.0" without.
QString versionLabel(const QString &version, std::optional<qint64> buildNumber);

// A newer release, with the artifact chosen for this machine (none for the print service).
struct AvailableRelease
{
    ReleaseManifest manifest;
    std::optional<ReleaseArtifact> artifact;

    // "1.4.0 (27)" with a build number, "1.4.0" without.
    QString versionLabel() const;

    bool operator==(const AvailableRelease &) const = default;
};
