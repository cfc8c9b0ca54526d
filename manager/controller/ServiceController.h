#pragma once

#include "bundle/AppBundle.h"
#include "release/AvailableRelease.h"
#include "release/ReleaseFeedClient.h"
#include "release/ReleaseLine.h"
#include "service/ServicePresentationState.h"
#include "service/ServiceStatus.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class InstallerClient;

// The outside world as the controller sees it. The shipped program uses the defaults; tests
// replace the feed, the clock, the folders and the quit action here.
struct ServiceControllerSetup
{
    AppBundle bundle = AppBundle::main();
    std::shared_ptr<const ReleaseFeedClient> feed = std::make_shared<const ReleaseFeedClient>();
    ReleaseLine managerLine = ReleaseLine::current(); // its manifest, component and artifact rule
    QUrl serverManifestUrl = ReleaseFeedClient::edgeServerManifestURL();
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTimeUtc(); };
    // Empty: the user's own home and caches folders.
    QString homeDirectory;
    QString cachesDirectory;
    std::function<void()> quitApplication;
    std::chrono::milliseconds pollInterval{4000};
};

// The manager's single state model. Lives on the main thread; every operation returns at once
// and publishes its progress and outcome through the properties below.
class ServiceController : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The application creates the one controller.")

    // Published state; each notifies when its value changes. Optional values are null when absent.
    Q_PROPERTY(ServiceStatus status READ status NOTIFY statusChanged)
    Q_PROPERTY(bool isBusy READ isBusy NOTIFY isBusyChanged)
    Q_PROPERTY(QString activityMessage READ activityMessage NOTIFY activityMessageChanged)
    Q_PROPERTY(QVariant activityProgress READ activityProgressProperty NOTIFY activityProgressChanged)
    Q_PROPERTY(QVariant errorMessage READ errorMessageProperty WRITE setErrorMessageProperty NOTIFY errorMessageChanged)
    Q_PROPERTY(QVariant managerUpdate READ managerUpdateProperty NOTIFY managerUpdateChanged)
    Q_PROPERTY(QVariant serverUpdate READ serverUpdateProperty NOTIFY serverUpdateChanged)
    Q_PROPERTY(bool isCheckingUpdates READ isCheckingUpdates NOTIFY isCheckingUpdatesChanged)
    Q_PROPERTY(bool isInstallingServerUpdate READ isInstallingServerUpdate NOTIFY isInstallingServerUpdateChanged)
    Q_PROPERTY(bool isInstallingManagerUpdate READ isInstallingManagerUpdate NOTIFY isInstallingManagerUpdateChanged)
    Q_PROPERTY(QVariant updateMessage READ updateMessageProperty NOTIFY updateMessageChanged)

    // Derived values.
    // Spelt by its enum's scope, the name QML and its type tools know it by.
    Q_PROPERTY(ServicePresentation::State presentationState READ presentationState NOTIFY presentationStateChanged)
    // The status URL when it parses, else empty: what the page view loads and the browser opens.
    Q_PROPERTY(QUrl dashboardUrl READ dashboardUrl NOTIFY statusChanged)
    Q_PROPERTY(QString managerVersion READ managerVersion CONSTANT)
    Q_PROPERTY(qint64 managerBuildNumber READ managerBuildNumber CONSTANT)
    Q_PROPERTY(QString managerVersionLabel READ managerVersionLabel CONSTANT)
    Q_PROPERTY(QString managerVersionDetail READ managerVersionDetail NOTIFY managerVersionDetailChanged)
    Q_PROPERTY(QString serverVersionDetail READ serverVersionDetail NOTIFY serverVersionDetailChanged)
    Q_PROPERTY(bool hasAvailableUpdates READ hasAvailableUpdates NOTIFY hasAvailableUpdatesChanged)
    Q_PROPERTY(bool canUpdateSoftware READ canUpdateSoftware NOTIFY canUpdateSoftwareChanged)
    Q_PROPERTY(QString softwareUpdateSummary READ softwareUpdateSummary NOTIFY softwareUpdateSummaryChanged)

public:
    explicit ServiceController(QObject *parent = nullptr);
    explicit ServiceController(ServiceControllerSetup setup, QObject *parent = nullptr);
    ~ServiceController() override;

    const ServiceStatus &status() const { return status_; }
    bool isBusy() const { return isBusy_; }
    const QString &activityMessage() const { return activityMessage_; }
    std::optional<double> activityProgress() const { return activityProgress_; }
    const std::optional<QString> &errorMessage() const { return errorMessage_; }
    const std::optional<AvailableRelease> &managerUpdate() const { return managerUpdate_; }
    const std::optional<AvailableRelease> &serverUpdate() const { return serverUpdate_; }
    bool isCheckingUpdates() const { return isCheckingUpdates_; }
    bool isInstallingServerUpdate() const { return isInstallingServerUpdate_; }
    bool isInstallingManagerUpdate() const { return isInstallingManagerUpdate_; }
    const std::optional<QString> &updateMessage() const { return updateMessage_; }

    // The main window clears the error when the user dismisses its alert.
    void setErrorMessage(std::optional<QString> message);

    ServicePresentationState presentationState() const;
    QUrl dashboardUrl() const;
    QString managerVersion() const;
    qint64 managerBuildNumber() const;
    QString managerVersionLabel() const;
    QString managerVersionDetail() const;
    QString serverVersionDetail() const;
    bool hasAvailableUpdates() const;
    bool canUpdateSoftware() const;
    QString softwareUpdateSummary() const;

    // Where the bundle's resources are, read afresh at every use.
    QUrl installerURL() const;
    QUrl bundledServerURL() const;
    QUrl updaterURL() const;

    Q_INVOKABLE void refresh(bool silent = false);
    // The main window's status polling: a refresh now, then a silent one every interval.
    Q_INVOKABLE void startPolling();
    Q_INVOKABLE void stopPolling();
    bool isPolling() const { return polling_; }

    Q_INVOKABLE void openDashboardInBrowser();
    Q_INVOKABLE void openLogs();
    Q_INVOKABLE void openDataDirectory();

    Q_INVOKABLE void start();
    Q_INVOKABLE void stop();
    Q_INVOKABLE void restart();
    Q_INVOKABLE void setAutoStart(bool enabled);
    Q_INVOKABLE void install();
    Q_INVOKABLE void uninstall();

    // Starts a check; the returned task ends with it. Views ignore the task.
    Q_INVOKABLE void checkForUpdates(bool silent = false);
    QCoro::Task<> checkForUpdatesTask(bool silent);
    Q_INVOKABLE void updateAvailableSoftware();

    // The shared command runner, the print service update and the manager self-update. Views
    // go through the operations above; these are reached only from the update flow.
    void perform(const QString &command, const QStringList &extraArguments, const QString &initialMessage,
                 std::optional<QUrl> installer = std::nullopt, std::optional<QString> expectedVersion = std::nullopt,
                 std::function<void(bool)> completion = {});
    void updateEdgeServer(std::function<void(bool)> completion);
    void updateManager();

signals:
    void statusChanged();
    // Every successful status read, also one that changed nothing.
    void statusRead();
    void isBusyChanged();
    void activityMessageChanged();
    void activityProgressChanged();
    void errorMessageChanged();
    void managerUpdateChanged();
    void serverUpdateChanged();
    void isCheckingUpdatesChanged();
    void isInstallingServerUpdateChanged();
    void isInstallingManagerUpdateChanged();
    void updateMessageChanged();

    void presentationStateChanged();
    void managerVersionDetailChanged();
    void serverVersionDetailChanged();
    void hasAvailableUpdatesChanged();
    void canUpdateSoftwareChanged();
    void softwareUpdateSummaryChanged();

private:
    void setStatus(ServiceStatus status);
    void setIsBusy(bool busy);
    void setActivityMessage(QString message);
    void setActivityProgress(std::optional<double> progress);
    void setManagerUpdate(std::optional<AvailableRelease> release);
    void setServerUpdate(std::optional<AvailableRelease> release);
    void setIsCheckingUpdates(bool checking);
    void setIsInstallingServerUpdate(bool installing);
    void setIsInstallingManagerUpdate(bool installing);
    void setUpdateMessage(std::optional<QString> message);

    QVariant activityProgressProperty() const;
    QVariant errorMessageProperty() const;
    void setErrorMessageProperty(const QVariant &message);
    QVariant managerUpdateProperty() const;
    QVariant serverUpdateProperty() const;
    QVariant updateMessageProperty() const;

    void connectDerivedSignals();
    bool isUpdateCheckDue() const;
    void pollOnce();
    void openFolder(const QString &path);
    QString homeDirectory() const;

    QCoro::Task<> refreshTask(InstallerClient client, bool silent);
    QCoro::Task<> commandTask(InstallerClient client, QStringList arguments, QString command,
                              std::optional<QString> expectedVersion, std::function<void(bool)> completion);
    QCoro::Task<> managerUpdateTask(AvailableRelease release, ReleaseArtifact artifact, qint64 buildNumber,
                                    QString bundlePath);

    ServiceControllerSetup setup_;

    ServiceStatus status_ = ServiceStatus::unavailable();
    bool isBusy_ = false;
    QString activityMessage_;
    std::optional<double> activityProgress_;
    std::optional<QString> errorMessage_;
    std::optional<AvailableRelease> managerUpdate_;
    std::optional<AvailableRelease> serverUpdate_;
    bool isCheckingUpdates_ = false;
    bool isInstallingServerUpdate_ = false;
    bool isInstallingManagerUpdate_ = false;
    std::optional<QString> updateMessage_;
    bool hasLoadedInitialStatus_ = false;
    std::optional<QDateTime> lastUpdateCheck_;

    QTimer pollTimer_;
    bool polling_ = false;
};
