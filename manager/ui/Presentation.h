#pragma once

#include "service/ServicePresentationState.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

// What the windows show and when their controls are enabled, as pure functions of the
// controller's values. QML binds to these and lays out; it decides nothing itself.
class Presentation : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    enum class ServiceArea { Controls, Adoption, Install };
    Q_ENUM(ServiceArea)
    enum class PlaceholderAction { Install, Start, Recheck };
    Q_ENUM(PlaceholderAction)

    using State = ServicePresentation::State;

    explicit Presentation(QObject *parent = nullptr);

    // Status card.
    Q_INVOKABLE QString statusTitle(ServicePresentation::State state) const;
    Q_INVOKABLE QString statusSubtitle(ServicePresentation::State state, const QString &activityMessage) const;
    Q_INVOKABLE QColor statusColor(ServicePresentation::State state) const;

    // Service area and details.
    Q_INVOKABLE Presentation::ServiceArea serviceArea(bool installed, bool managed) const;
    Q_INVOKABLE QString runButtonTitle(bool running) const;
    Q_INVOKABLE QString runButtonSymbol(bool running) const;
    Q_INVOKABLE QString versionText(const QString &version) const;

    // Detail area: the page when the service is healthy and its address parses, else this placeholder.
    Q_INVOKABLE bool showsDashboard(bool healthy, const QUrl &dashboardUrl) const;
    Q_INVOKABLE QString placeholderSymbol(bool installed) const;
    Q_INVOKABLE QString placeholderTitle(bool installed) const;
    Q_INVOKABLE QString placeholderMessage(bool installed, bool running) const;
    Q_INVOKABLE QString placeholderButtonTitle(bool installed, bool running) const;
    Q_INVOKABLE Presentation::PlaceholderAction placeholderAction(bool installed, bool running) const;

    // Update card.
    Q_INVOKABLE QString updateHeading(bool hasAvailableUpdates) const;
    Q_INVOKABLE QString updateHeadingSymbol(bool hasAvailableUpdates) const;
    Q_INVOKABLE QString updateButtonTitle(bool installing) const;
    Q_INVOKABLE QString updateStatusText(const QVariant &updateMessage, bool isCheckingUpdates) const;
    Q_INVOKABLE QString checkButtonTitle(bool isCheckingUpdates) const;
    Q_INVOKABLE bool showsServerVersionRow(bool installed, const QVariant &serverUpdate) const;

    // Activity footer.
    Q_INVOKABLE bool showsActivity(bool isBusy, bool isInstallingManagerUpdate) const;
    Q_INVOKABLE QString activityText(bool isInstallingManagerUpdate, const QVariant &updateMessage,
                                     const QString &activityMessage) const;

    Q_INVOKABLE bool showsErrorAlert(const QVariant &errorMessage) const;
    Q_INVOKABLE QString errorAlertText(const QVariant &errorMessage) const;

    // Enabled rules.
    Q_INVOKABLE bool canRunCommand(bool isBusy) const;
    Q_INVOKABLE bool canRestart(bool isBusy, bool installed) const;
    Q_INVOKABLE bool canCheckForUpdates(bool isCheckingUpdates, bool isInstallingManagerUpdate) const;

    // Settings window.
    Q_INVOKABLE QString installedVersionText(const QString &version) const;
    Q_INVOKABLE QString settingsUpdateButtonTitle(bool isInstallingServerUpdate, bool isInstallingManagerUpdate) const;
    // An optional text from the controller, empty when absent.
    Q_INVOKABLE QString optionalText(const QVariant &text) const;
    Q_INVOKABLE bool canCheckForUpdatesInSettings(bool isCheckingUpdates, bool isInstallingServerUpdate,
                                                  bool isInstallingManagerUpdate) const;
    Q_INVOKABLE bool canChangeAutoStart(bool managed, bool isBusy) const;
    Q_INVOKABLE bool canOpenServiceFolders(bool managed) const;
    Q_INVOKABLE bool canRemoveService(bool managed, bool isBusy) const;
    // The platform's settings shortcut (Command-, on a Mac), Ctrl+, where the platform has none.
    Q_INVOKABLE QString settingsShortcut() const;
};
