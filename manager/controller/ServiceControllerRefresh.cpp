#include "ServiceController.h"

#include "BackgroundTask.h"
#include "ControllerLog.h"
#include "service/InstallerClient.h"
#include "text/ErrorText.h"

#include <QPointer>

namespace {

constexpr qint64 automaticCheckIntervalMs = 21600LL * 1000;

} // namespace

void ServiceController::refresh(bool silent)
{
    if (isBusy_) {
        qCInfo(controllerLog) << "refresh refused: a command runs";
        return;
    }
    if (!silent && !hasLoadedInitialStatus_)
        setActivityMessage(QStringLiteral("正在读取服务状态…"));
    const InstallerClient client(installerURL().toLocalFile());
    refreshTask(client, silent);
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
        auto read = startInBackground([client] { return client.status(); });
        BackgroundResult<ServiceStatus> outcome = co_await read;
        status = outcome.take();
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self)
        co_return;
    if (status)
        qCInfo(controllerLog) << "status: installed" << status->installed << "managed" << status->managed << "running"
                              << status->running << "healthy" << status->healthy << "version" << status->version;
    else
        qCInfo(controllerLog) << "status read failed:" << errorText(failure);

    if (failure) {
        // Once a status has been shown, a failing poll keeps it rather than nagging.
        if (!(silent && hasLoadedInitialStatus_))
            setErrorMessage(errorText(failure));
        co_return;
    }

    setStatus(std::move(*status));
    setErrorMessage(std::nullopt);
    hasLoadedInitialStatus_ = true;
    if (checkDue) {
        QCoro::Task<> check = checkForUpdatesTask(true);
        co_await check;
    }
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
