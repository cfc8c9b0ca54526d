#pragma once

#include "service/InstallerCommandResult.h"
#include "text/UserFacingError.h"

class InstallerClientError final : public UserFacingError
{
public:
    enum class Kind { missingInstaller, commandFailed, invalidResponse };

    static InstallerClientError missingInstaller(const QString &path);
    static InstallerClientError commandFailed(const InstallerCommandResult &result);
    static InstallerClientError invalidResponse(const QString &detail);

    Kind kind() const { return kind_; }
    // The script's path, or the detail of an invalid response.
    const QString &text() const { return text_; }
    const InstallerCommandResult &result() const { return result_; }

    QString errorDescription() const override;

private:
    InstallerClientError(Kind kind, QString text, InstallerCommandResult result);

    Kind kind_;
    QString text_;
    InstallerCommandResult result_;
};
