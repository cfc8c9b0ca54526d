#pragma once

#include "release/ReleaseArtifact.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// The latest release of one component, as its release feed publishes it.
struct ReleaseManifest
{
    qint64 schemaVersion = 0;
    QString component;
    QString version;
    std::optional<qint64> buildNumber;
    QDateTime releasedAt;
    QList<ReleaseArtifact> artifacts;

    // Parses and validates a manifest document. Malformed JSON, a missing key or a wrong type
    // throws SystemError with the decoder's text; content that fails validation throws
    // ReleaseUpdateError::invalidManifest().
    static ReleaseManifest decode(const QByteArray &bytes);

    bool operator==(const ReleaseManifest &) const = default;
};
