#include "ServiceController.h"

#include "BundleResources.h"
#include "ControllerLog.h"
#include "text/DecimalInteger.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QVariantMap>

namespace {

// QML sees an absent value as null.
QVariant none()
{
    return QVariant::fromValue(nullptr);
}

QVariant optionalText(const std::optional<QString> &text)
{
    return text ? QVariant(*text) : none();
}

// Assigns value and tells whether that changed the field.
template<typename T>
bool assign(T &field, T value)
{
    const bool changed = !(field == value);
    field = std::move(value);
    return changed;
}

QVariant releaseProperty(const std::optional<AvailableRelease> &release)
{
    if (!release)
        return none();
    QVariantMap map;
    map.insert(QStringLiteral("component"), release->manifest.component);
    map.insert(QStringLiteral("version"), release->manifest.version);
    map.insert(QStringLiteral("buildNumber"),
               release->manifest.buildNumber ? QVariant::fromValue(*release->manifest.buildNumber) : none());
    map.insert(QStringLiteral("versionLabel"), release->versionLabel());
    map.insert(QStringLiteral("hasArtifact"), release->artifact.has_value());
    return map;
}

} // namespace

ServiceController::ServiceController(QObject *parent)
    : ServiceController(ServiceControllerSetup{}, parent)
{
}

ServiceController::ServiceController(ServiceControllerSetup setup, QObject *parent)
    : QObject(parent)
    , setup_(std::move(setup))
    , activityMessage_(QStringLiteral("正在读取服务状态…"))
{
    if (!setup_.quitApplication)
        setup_.quitApplication = [] { QCoreApplication::quit(); };
    pollTimer_.setSingleShot(true);
    pollTimer_.setTimerType(Qt::PreciseTimer);
    connect(&pollTimer_, &QTimer::timeout, this, &ServiceController::pollOnce);
    connectDerivedSignals();
}

ServiceController::~ServiceController() = default;

void ServiceController::connectDerivedSignals()
{
    const auto relay = [this](auto input, std::initializer_list<void (ServiceController::*)()> outputs) {
        for (auto output : outputs)
            connect(this, input, this, output);
    };
    using C = ServiceController;
    relay(&C::statusChanged, {&C::presentationStateChanged, &C::serverVersionDetailChanged, &C::canUpdateSoftwareChanged,
                              &C::softwareUpdateSummaryChanged});
    relay(&C::isBusyChanged, {&C::presentationStateChanged, &C::canUpdateSoftwareChanged});
    relay(&C::managerUpdateChanged, {&C::managerVersionDetailChanged, &C::hasAvailableUpdatesChanged,
                                     &C::canUpdateSoftwareChanged, &C::softwareUpdateSummaryChanged});
    relay(&C::serverUpdateChanged, {&C::serverVersionDetailChanged, &C::hasAvailableUpdatesChanged,
                                    &C::canUpdateSoftwareChanged, &C::softwareUpdateSummaryChanged});
    relay(&C::isInstallingServerUpdateChanged, {&C::canUpdateSoftwareChanged});
    relay(&C::isInstallingManagerUpdateChanged, {&C::canUpdateSoftwareChanged});
}

// Setters notify only on a change: every notification re-runs the bindings that read the value.

void ServiceController::setStatus(ServiceStatus status)
{
    if (assign(status_, std::move(status)))
        emit statusChanged();
    emit statusRead();
}

void ServiceController::setIsBusy(bool busy)
{
    if (assign(isBusy_, busy))
        emit isBusyChanged();
}

void ServiceController::setActivityMessage(QString message)
{
    if (assign(activityMessage_, std::move(message)))
        emit activityMessageChanged();
}

void ServiceController::setActivityProgress(std::optional<double> progress)
{
    if (assign(activityProgress_, progress))
        emit activityProgressChanged();
}

void ServiceController::setErrorMessage(std::optional<QString> message)
{
    if (message)
        qCInfo(controllerLog) << "error:" << *message;
    if (assign(errorMessage_, std::move(message)))
        emit errorMessageChanged();
}

void ServiceController::setManagerUpdate(std::optional<AvailableRelease> release)
{
    if (assign(managerUpdate_, std::move(release)))
        emit managerUpdateChanged();
}

void ServiceController::setServerUpdate(std::optional<AvailableRelease> release)
{
    if (assign(serverUpdate_, std::move(release)))
        emit serverUpdateChanged();
}

void ServiceController::setIsCheckingUpdates(bool checking)
{
    if (assign(isCheckingUpdates_, checking))
        emit isCheckingUpdatesChanged();
}

void ServiceController::setIsInstallingServerUpdate(bool installing)
{
    if (assign(isInstallingServerUpdate_, installing))
        emit isInstallingServerUpdateChanged();
}

void ServiceController::setIsInstallingManagerUpdate(bool installing)
{
    if (assign(isInstallingManagerUpdate_, installing))
        emit isInstallingManagerUpdateChanged();
}

void ServiceController::setUpdateMessage(std::optional<QString> message)
{
    if (message)
        qCInfo(controllerLog) << "update:" << *message;
    if (assign(updateMessage_, std::move(message)))
        emit updateMessageChanged();
}

// QML views read these.

QVariant ServiceController::activityProgressProperty() const
{
    return activityProgress_ ? QVariant(*activityProgress_) : none();
}

QVariant ServiceController::errorMessageProperty() const
{
    return optionalText(errorMessage_);
}

void ServiceController::setErrorMessageProperty(const QVariant &message)
{
    if (message.isNull() || !message.isValid())
        setErrorMessage(std::nullopt);
    else
        setErrorMessage(message.toString());
}

QVariant ServiceController::managerUpdateProperty() const
{
    return releaseProperty(managerUpdate_);
}

QVariant ServiceController::serverUpdateProperty() const
{
    return releaseProperty(serverUpdate_);
}

QVariant ServiceController::updateMessageProperty() const
{
    return optionalText(updateMessage_);
}

ServicePresentationState ServiceController::presentationState() const
{
    return ::presentationState(status_, isBusy_);
}

// The bundle is read at every use, as the updater may have replaced it.

QString ServiceController::managerVersion() const
{
    const QVariant value = setup_.bundle.infoValue(QStringLiteral("CFBundleShortVersionString"));
    return value.typeId() == QMetaType::QString ? value.toString() : QStringLiteral("0.0.0");
}

qint64 ServiceController::managerBuildNumber() const
{
    const QVariant value = setup_.bundle.infoValue(QStringLiteral("CFBundleVersion"));
    const QString text = value.typeId() == QMetaType::QString ? value.toString() : QStringLiteral("0");
    return parseDecimalInteger(text).value_or(0);
}

QUrl ServiceController::installerURL() const
{
    return BundleResources(setup_.bundle).installerURL();
}

QUrl ServiceController::bundledServerURL() const
{
    return BundleResources(setup_.bundle).bundledServerURL();
}

QUrl ServiceController::updaterURL() const
{
    return BundleResources(setup_.bundle).updaterURL();
}

QString ServiceController::homeDirectory() const
{
    return setup_.homeDirectory.isEmpty() ? QDir::homePath() : setup_.homeDirectory;
}

QUrl ServiceController::dashboardUrl() const
{
    const QUrl url(status_.url, QUrl::StrictMode);
    return url.isValid() ? url : QUrl();
}

void ServiceController::openDashboardInBrowser()
{
    const QUrl url = dashboardUrl();
    if (!url.isEmpty())
        QDesktopServices::openUrl(url);
}

void ServiceController::openLogs()
{
    openFolder(status_.logDir);
}

void ServiceController::openDataDirectory()
{
    openFolder(status_.dataDir);
}

void ServiceController::openFolder(const QString &path)
{
    if (path.isEmpty())
        return;
    // A folder's URL ends in a separator, so the desktop shows the folder itself.
    QDesktopServices::openUrl(QUrl::fromLocalFile(path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/')));
}
