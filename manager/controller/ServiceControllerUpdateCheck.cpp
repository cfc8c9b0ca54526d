#include "ServiceController.h"

#include "ControllerLog.h"
#include "release/ReleaseUpdateError.h"
#include "text/ErrorText.h"

#include <QPointer>

#include <stop_token>

namespace {

const QString serverComponent = QStringLiteral("edge-server");
// The processor this build of the manager runs on, as the release feed names it.
const QString architecture = QStringLiteral("x86_64");
const QString upToDateMessage = QStringLiteral("当前已是最新版本");
const QString arrow = QStringLiteral(" → ");

// The installed version's build number is always known here (0 for the print service, which
// reports none), so a same-version release is newer only with a greater build number.
bool isNewer(const ReleaseManifest &manifest, const QString &version, qint64 buildNumber)
{
    return ReleaseFeedClient::isNewer(manifest, version, buildNumber);
}

} // namespace

QString ServiceController::managerVersionLabel() const
{
    // A build number of 0 means the bundle names none.
    const qint64 build = managerBuildNumber();
    return versionLabel(managerVersion(), build > 0 ? std::optional<qint64>(build) : std::nullopt);
}

QString ServiceController::managerVersionDetail() const
{
    const QString label = managerVersionLabel();
    return managerUpdate_ ? label + arrow + managerUpdate_->versionLabel() : label;
}

QString ServiceController::serverVersionDetail() const
{
    const QString current = status_.version.isEmpty() ? QStringLiteral("未启用") : status_.version;
    return serverUpdate_ ? current + arrow + serverUpdate_->versionLabel() : current;
}

bool ServiceController::hasAvailableUpdates() const
{
    return managerUpdate_.has_value() || serverUpdate_.has_value();
}

bool ServiceController::canUpdateSoftware() const
{
    return hasAvailableUpdates() && !isBusy_ && !isInstallingServerUpdate_ && !isInstallingManagerUpdate_
        && (!serverUpdate_ || status_.managed);
}

QString ServiceController::softwareUpdateSummary() const
{
    if (serverUpdate_ && !status_.managed)
        return QStringLiteral("迁移现有安装后即可完成更新");
    if (managerUpdate_ && serverUpdate_)
        return QStringLiteral("将一并更新管理应用和打印服务，随后自动重新打开");
    if (managerUpdate_)
        return QStringLiteral("将更新管理应用并自动重新打开");
    if (serverUpdate_)
        return QStringLiteral("将更新打印服务，完成后自动恢复运行");
    return upToDateMessage;
}

void ServiceController::checkForUpdates(bool silent)
{
    checkForUpdatesTask(silent);
}

QCoro::Task<> ServiceController::checkForUpdatesTask(bool silent)
{
    if (isCheckingUpdates_)
        co_return;
    setIsCheckingUpdates(true);
    qCInfo(controllerLog) << (silent ? "silent update check" : "update check");
    lastUpdateCheck_ = setup_.now();
    if (!silent)
        setUpdateMessage(QStringLiteral("正在检查新版本…"));

    QPointer<ServiceController> self(this);
    // The frame keeps the client alive even if the controller goes away mid-transfer.
    const std::shared_ptr<const ReleaseFeedClient> feed = setup_.feed;
    std::stop_source abandonServerFetch;
    QCoro::Task<ReleaseManifest> managerFetch = feed->fetchManifest(setup_.managerLine.manifestURL);
    QCoro::Task<ReleaseManifest> serverFetch =
        feed->fetchManifest(setup_.serverManifestUrl, abandonServerFetch.get_token());

    std::optional<ReleaseManifest> managerManifest;
    std::optional<ReleaseManifest> serverManifest;
    std::exception_ptr failure;
    try {
        managerManifest = co_await managerFetch;
    } catch (...) {
        failure = std::current_exception();
        abandonServerFetch.request_stop();
    }
    // The second transfer is always awaited, so nothing outlives the check; after a failure
    // it has been abandoned and its outcome no longer matters.
    try {
        serverManifest = co_await serverFetch;
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    if (!self)
        co_return;

    if (!failure && managerManifest->component != setup_.managerLine.component)
        failure = std::make_exception_ptr(ReleaseUpdateError::wrongComponent(managerManifest->component));
    if (!failure && serverManifest->component != serverComponent)
        failure = std::make_exception_ptr(ReleaseUpdateError::wrongComponent(serverManifest->component));
    if (failure) {
        setUpdateMessage(errorText(failure));
        setIsCheckingUpdates(false);
        co_return;
    }

    std::optional<AvailableRelease> managerCandidate;
    if (isNewer(*managerManifest, managerVersion(), managerBuildNumber()))
        managerCandidate = AvailableRelease{*managerManifest,
                                            setup_.managerLine.artifact(*managerManifest, architecture)};
    setManagerUpdate(std::move(managerCandidate));

    std::optional<AvailableRelease> serverCandidate;
    if (status_.installed && !status_.version.isEmpty() && isNewer(*serverManifest, status_.version, 0))
        serverCandidate = AvailableRelease{*serverManifest, std::nullopt};
    setServerUpdate(std::move(serverCandidate));

    setUpdateMessage(hasAvailableUpdates() ? QStringLiteral("发现可用更新") : upToDateMessage);
    setIsCheckingUpdates(false);
}

void ServiceController::updateAvailableSoftware()
{
    if (!hasAvailableUpdates() || isBusy_ || isInstallingServerUpdate_ || isInstallingManagerUpdate_) {
        if (!hasAvailableUpdates())
            setUpdateMessage(upToDateMessage);
        return;
    }
    if (serverUpdate_ && !status_.managed) {
        setErrorMessage(QStringLiteral("请先迁移现有安装，再更新 Quillo Edge"));
        return;
    }
    if (!serverUpdate_) {
        updateManager();
        return;
    }
    QPointer<ServiceController> self(this);
    updateEdgeServer([self](bool succeeded) {
        if (!succeeded || !self)
            return;
        if (!self->managerUpdate_)
            self->setUpdateMessage(QStringLiteral("Quillo Edge 已更新到最新版本"));
        else
            self->updateManager();
    });
}
