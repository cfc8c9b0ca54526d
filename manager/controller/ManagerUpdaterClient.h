#pragma once

#include <QString>
#include <QStringList>

// Runs the manager updater tool and waits for it. Blocking: call it away from the main thread.
class ManagerUpdaterClient
{
public:
    explicit ManagerUpdaterClient(QString helperPath);

    const QString &helperPath() const { return helperPath_; }

    // Returns for exit status 0. Throws SystemError when the tool cannot be started and
    // ManagerUpdaterClientError::helperFailed with its standard error otherwise.
    void runAndWait(const QStringList &arguments) const;

private:
    QString helperPath_;
};
