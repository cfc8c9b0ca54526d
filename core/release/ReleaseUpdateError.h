#pragma once

#include "text/UserFacingError.h"

#include <QString>
#include <QtGlobal>

// Every failure of the release feed, with its user-facing message.
class ReleaseUpdateError final : public UserFacingError
{
public:
    enum class Kind { wrongComponent, downloadFailed, invalidManifest, noMatchingArtifact, sizeMismatch, checksumMismatch };

    static ReleaseUpdateError wrongComponent(const QString &component);
    // statusCode is 0 when the answer was not HTTP.
    static ReleaseUpdateError downloadFailed(qint64 statusCode);
    static ReleaseUpdateError invalidManifest();
    static ReleaseUpdateError noMatchingArtifact();
    static ReleaseUpdateError sizeMismatch();
    static ReleaseUpdateError checksumMismatch();

    Kind kind() const { return kind_; }
    // Payload of wrongComponent.
    const QString &component() const { return component_; }
    // Payload of downloadFailed.
    qint64 statusCode() const { return statusCode_; }

    QString errorDescription() const override;

private:
    explicit ReleaseUpdateError(Kind kind, QString component = {}, qint64 statusCode = 0);

    Kind kind_;
    QString component_;
    qint64 statusCode_;
};
