// ManagerUpdater: the "install" command, its wait for the old manager and its rollback.
#include "ManagerUpdater.h"

#include "BundleSwap.h"
#include "FileSystem.h"
#include "UpdaterError.h"
#include "bundle/StandardizedPath.h"
#include "release/ManagerUpdatePolicy.h"
#include "text/ErrorText.h"

#include <cerrno>
#include <chrono>
#include <limits>
#include <thread>

#include <signal.h>

namespace {

struct InstallRequest
{
    QString stagedApp;
    QString targetApp;
    QString workDirectory;
    QString version;
    qint64 buildNumber = 0;
    qint32 parentProcessId = 0;
};

InstallRequest readInstallRequest(const ParsedArguments &arguments)
{
    InstallRequest request;
    request.stagedApp = standardizedPath(arguments.required(QStringLiteral("--staged-app")));
    request.targetApp = standardizedPath(arguments.required(QStringLiteral("--target-app")));
    request.workDirectory = standardizedPath(arguments.required(QStringLiteral("--work-dir")));
    request.version = arguments.required(QStringLiteral("--version"));
    request.buildNumber = arguments.requiredInt(QStringLiteral("--build"));
    const qint64 processId = arguments.requiredInt(QStringLiteral("--parent-pid"));
    // Zero and negative ids probe process groups and larger ones would be cut short; neither
    // names the manager, and waiting on them could only time out or go wrong.
    if (processId <= 0 || processId > std::numeric_limits<qint32>::max())
        throw UpdaterError::invalidArguments(QStringLiteral("更新参数格式无效：--parent-pid"));
    request.parentProcessId = qint32(processId);
    return request;
}

} // namespace

void ManagerUpdater::install(const ParsedArguments &arguments)
{
    const InstallRequest request = readInstallRequest(arguments);
    if (!ManagerUpdatePolicy::isSupportedTarget(request.targetApp, environment_.homeDirectory))
        throw UpdaterError::unsupportedInstallLocation();
    requireUnderUpdateCache(request.workDirectory);
    requireApplicationName(request.stagedApp);
    requireUnderUpdateCache(request.stagedApp);
    validateApplication(request.stagedApp, request.version, request.buildNumber);

    logger_.write(QStringLiteral("Waiting for manager process %1 to exit").arg(request.parentProcessId));
    waitForProcessToExit(request.parentProcessId);

    BundleSwap swap(request.targetApp, environment_.atomicExchange, environment_.beforeSwapStep);
    try {
        run(environment_.tools.copier, {request.stagedApp, swap.updateCopy()});
        validateApplication(swap.updateCopy(), request.version, request.buildNumber);
        swap.installUpdateCopy();
        validateApplication(request.targetApp, request.version, request.buildNumber);
        run(environment_.tools.opener, {request.targetApp});
    } catch (const std::exception &) {
        rollBack(swap, request.targetApp, errorText(std::current_exception()));
        throw;
    }
    finish(swap, request.workDirectory);
}

void ManagerUpdater::waitForProcessToExit(qint32 processId)
{
    const auto deadline = std::chrono::steady_clock::now() + environment_.exitDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
        // Only "no such process" means gone; a process we may not signal is still there.
        if (::kill(processId, 0) != 0 && errno == ESRCH)
            return;
        std::this_thread::sleep_for(environment_.exitProbeInterval);
    }
    throw UpdaterError::parentDidNotExit();
}

void ManagerUpdater::rollBack(BundleSwap &swap, const QString &targetApp, const QString &failure)
{
    logger_.write(QStringLiteral("Manager update failed; rolling back: ") + failure);
    swap.removeUpdateCopyQuietly();
    if (!swap.backupMade())
        return;
    try {
        swap.restorePrevious();
    } catch (const std::exception &) {
        logger_.write(QStringLiteral("Rollback failed: ") + errorText(std::current_exception()));
        return;
    }
    try {
        run(environment_.tools.opener, {targetApp});
    } catch (const std::exception &) {
    }
    logger_.write(QStringLiteral("Previous manager version restored"));
}

void ManagerUpdater::finish(BundleSwap &swap, const QString &workDirectory)
{
    if (swap.backupMade()) {
        try {
            swap.removeBackup();
        } catch (const std::exception &) {
            logger_.write(QStringLiteral("New manager is running, but the old backup could not be removed: ")
                          + errorText(std::current_exception()));
        }
    }
    swap.removeEarlierLeftovers();
    FileSystem::removeItemQuietly(workDirectory);
    logger_.write(QStringLiteral("Manager update installed successfully"));
}
