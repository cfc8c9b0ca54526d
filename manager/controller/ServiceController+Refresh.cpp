#include "ServiceController.h"

#include "BackgroundTask.h"
#include "ErrorText.h"
#include "InstallerClient.h"

#include <QPointer>

namespace {

constexpr qint64 automaticCheckIntervalMs = 21600LL * 1000;

} // namespace

void ServiceController::refresh(bool silent)
{
    if (isBusy_)
        return;
    if (!silent && !hasLoadedInitialStatus_)
        setActivityMessage(QStringLiteral("正在读取服务状态…"));
    refreshTask(InstallerClient(installerURL().toLocalFile()), silent);
}

bool ServiceController::isUpdateCheckDue() const
{
    if (!lastUpdateCheck_)
        return true;
    // A check recorded in the future (the clock was set back) is not due.
    return lastUpdateCheck_->msecsTo(setup_.now()) >= automaticCheckIntervalMs;
}

QCoro::Task<> ServiceController::refreshTask(InstallerClient client, bool silent)
{
    QPointer<ServiceController> self(this);
    const bool checkDue = isUpdateCheckDue();

    std::optional<ServiceStatus> status;
    std::exception_ptr failure;
    try {
        status = co_await runInBackground([client] { return client.status(); });
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;

    if (failure) {
        // Once a status has been shown, a failing poll keeps it rather than nagging.
        if (!(silent && hasLoadedInitialStatus_))
            setErrorMessage(errorText(failure));
        co_return;
    }

    setStatus(std::move(*status));
    setErrorMessage(std::nullopt);
    hasLoadedInitialStatus_ = true;
    if (checkDue)
        co_await checkForUpdatesTask(true);
}

void ServiceController::startPolling()
{
    if (polling_)
        return;
    polling_ = true;
    refresh(false);
    pollTimer_.start(setup_.pollInterval);
}

void ServiceController::stopPolling()
{
    if (!polling_)
        return;
    polling_ = false;
    // The wait that was cut short still ends in one silent refresh.
    pollTimer_.stop();
    refresh(true);
}

void ServiceController::pollOnce()
{
    refresh(true);
    if (polling_)
        pollTimer_.start(setup_.pollInterval);
}
