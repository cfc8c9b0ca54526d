#pragma once

#include "text/UserFacingError.h"

#include <QString>

// The updater's own failures, each with the exact text the manager shows.
class UpdaterError final : public UserFacingError
{
public:
    enum class Kind {
        invalidArguments,
        commandFailed,
        invalidApplication,
        invalidDiskImage,
        unsupportedInstallLocation,
        parentDidNotExit,
    };

    static UpdaterError invalidArguments(QString message);
    static UpdaterError commandFailed(QString toolPath, QString detail);
    static UpdaterError invalidApplication(QString reason);
    static UpdaterError invalidDiskImage();
    static UpdaterError unsupportedInstallLocation();
    static UpdaterError parentDidNotExit();

    Kind kind() const { return kind_; }
    QString errorDescription() const override;

private:
    UpdaterError(Kind kind, QString first = {}, QString second = {});

    Kind kind_;
    QString first_;
    QString second_;
};
