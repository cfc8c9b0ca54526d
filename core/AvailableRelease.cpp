#include "AvailableRelease.h"

QString AvailableRelease::versionLabel() const
{
    if (!manifest.buildNumber)
        return manifest.version;
    return manifest.version + QStringLiteral(" (") + QString::number(*manifest.buildNumber) + u')';
}
