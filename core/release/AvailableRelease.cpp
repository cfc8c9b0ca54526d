#include "release/AvailableRelease.h"

QString versionLabel(const QString &version, std::optional<qint64> buildNumber)
{
    if (!buildNumber)
        return version;
    return version + QStringLiteral(" (") + QString::number(*buildNumber) + u')';
}

QString AvailableRelease::versionLabel() const
{
    return ::versionLabel(manifest.version, manifest.buildNumber);
}
