#pragma once

#include "text/UserFacingError.h"

#include <QString>

// Failures the controller itself detects.
class ServiceControllerError final : public UserFacingError
{
public:
    enum class Kind { versionMismatch };

    // The print service reports another version than the upgrade asked for.
    static ServiceControllerError versionMismatch(const QString &expected, const QString &actual);

    Kind kind() const { return kind_; }
    const QString &expected() const { return expected_; }
    const QString &actual() const { return actual_; }

    QString errorDescription() const override;

private:
    ServiceControllerError(Kind kind, QString expected, QString actual);

    Kind kind_;
    QString expected_;
    QString actual_;
};
