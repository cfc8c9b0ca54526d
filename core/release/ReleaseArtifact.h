#pragma once

#include <QString>
#include <QUrl>
#include <QtGlobal>

// One downloadable file of a release, as the manifest describes it.
struct ReleaseArtifact
{
    QString name;
    qint64 size = 0;
    QString sha256;
    QUrl url;

    bool operator==(const ReleaseArtifact &) const = default;
};

// True when the artifact's name is a plain file name ("." and "..", path separators and the
// empty name are not), so saving it can never write outside its folder.
bool hasPlainFileName(const ReleaseArtifact &artifact);
