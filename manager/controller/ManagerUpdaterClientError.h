#pragma once

#include "text/UserFacingError.h"

#include <QString>

// Why a manager self-update could not be started or prepared.
class ManagerUpdaterClientError final : public UserFacingError
{
public:
    enum class Kind { helperMissing, helperFailed, unsupportedInstallLocation, installLocationNotWritable };

    static ManagerUpdaterClientError helperMissing();
    // The updater ended with a non-zero status; message is what it said.
    static ManagerUpdaterClientError helperFailed(const QString &message);
    static ManagerUpdaterClientError unsupportedInstallLocation();
    static ManagerUpdaterClientError installLocationNotWritable();

    Kind kind() const { return kind_; }
    QString errorDescription() const override;

private:
    ManagerUpdaterClientError(Kind kind, QString message);

    Kind kind_;
    QString message_;
};
