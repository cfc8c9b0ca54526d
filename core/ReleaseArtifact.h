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
