#pragma once

#include "service/InstallerCommandResult.h"
#include "service/InstallerEvent.h"
#include "service/ServiceStatus.h"

#include <QList>
#include <QString>
#include <QStringList>

// Runs the installer script once per call through /bin/sh and reads what it printed.
// Blocking: call run() and status() away from the main thread. Holds no state but the path,
// so any number of runs may proceed at once.
class InstallerClient
{
public:
    explicit InstallerClient(QString installerPath);

    const QString &installerPath() const { return installerPath_; }

    // Returns the result of a run that exited with status 0. Throws InstallerClientError
    // (missingInstaller, commandFailed) or SystemError when /bin/sh cannot be launched.
    InstallerCommandResult run(const QStringList &arguments) const;

    // "status" "--json", decoded from the last line of standard output. Also throws
    // InstallerClientError::invalidResponse.
    ServiceStatus status() const;

    // The status record that a status command printed: its last line. Throws
    // InstallerClientError::invalidResponse.
    static ServiceStatus statusFromOutput(const QString &standardOutput);

    // Every line of the text that decodes as an event, in order.
    static QList<InstallerEvent> events(const QString &output);

private:
    QString installerPath_;
};
