#pragma once

#include <QString>

// What one finished run of the installer script printed, and how it exited.
struct InstallerCommandResult
{
    QString standardOutput;
    QString standardError;
    int exitCode = 0;

    bool operator==(const InstallerCommandResult &) const = default;
};
