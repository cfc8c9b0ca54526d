#pragma once

#include "ParsedArguments.h"
#include "ProcessResult.h"
#include "UpdateLogger.h"
#include "UpdaterEnvironment.h"

#include <QString>
#include <QStringList>

class BundleSwap;

// The two commands of the updater and the operations they share. One instance per run.
class ManagerUpdater
{
public:
    ManagerUpdater(UpdaterEnvironment environment, const UpdateLogger &logger);

    // Mounts the image, verifies the bundle in it, stages a copy and verifies that too.
    void prepare(const ParsedArguments &arguments);
    // Mounts the image at a fresh private mount point and returns that mount point.
    QString attach(const QString &imagePath);
    void validateApplication(const QString &bundlePath, const QString &version, qint64 buildNumber);

    // Waits for the old manager to end, swaps the staged bundle in and reopens it; puts the
    // previous bundle back on any failure after the wait.
    void install(const ParsedArguments &arguments);
    void waitForProcessToExit(qint32 processId);

    ProcessResult run(const Tool &tool, const QStringList &arguments);
    void requireUnderUpdateCache(const QString &location);

private:
    static void requireApplicationName(const QString &stagedApp);
    void stageFromImage(const QString &mountPoint, const QString &stagedApp, const QString &version,
                        qint64 buildNumber);
    // Unmounts and removes the mount point; a failed unmount after an attach that worked is
    // logged, one after a failed attach is not.
    void detach(const QString &mountPoint, bool logFailure);
    void requireTeamIdentifier(const QString &bundlePath);
    void rollBack(BundleSwap &swap, const QString &targetApp, const QString &failure);
    void finish(BundleSwap &swap, const QString &workDirectory);

    UpdaterEnvironment environment_;
    const UpdateLogger &logger_;
};
