#pragma once

#include "release/ReleaseArtifact.h"
#include "release/ReleaseManifest.h"

#include <QString>
#include <QUrl>

#include <optional>

// The manager's own line of releases on one platform: where its manifest is, the component it
// names, which artifact fits this machine, and how the user is told that none does. The build
// picks its platform's line; tests may pick another.
struct ReleaseLine
{
    QUrl manifestURL;
    QString component;
    QString artifactPrefix;
    QString artifactExtension;
    QString noMatchingArtifactMessage;

    // The first artifact, in manifest order, whose name ends in prefix + architecture +
    // extension, ignoring case.
    std::optional<ReleaseArtifact> artifact(const ReleaseManifest &manifest, const QString &architecture) const;

    static ReleaseLine macOS();
    static ReleaseLine linuxDesktop();
    static ReleaseLine current();
};
