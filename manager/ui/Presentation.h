#pragma once

#include "service/ServicePresentationState.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

// The windows' real decisions: the state table, the choices where one condition takes precedence
// over another, and the texts both windows share. Plain conditions are bound where QML reads them,
// and the colours live in Theme.qml.
class Presentation : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    enum class ServiceArea { controls, adoption, install };
    Q_ENUM(ServiceArea)
    enum class PlaceholderAction { install, start, recheck };
    Q_ENUM(PlaceholderAction)
    // A state's colour, by meaning; Theme.qml holds the colour of each, in this order.
    enum class Tone { neutral, attention, good, fault };
    Q_ENUM(Tone)

    explicit Presentation(QObject *parent = nullptr);

    // Status card.
    Q_INVOKABLE QString statusTitle(ServicePresentationState state) const;
    Q_INVOKABLE QString statusSubtitle(ServicePresentationState state, const QString &activityMessage) const;
    Q_INVOKABLE Presentation::Tone statusTone(ServicePresentationState state) const;

    // Sidebar: a managed service has its controls, an unmanaged one its adoption, else installing.
    Q_INVOKABLE Presentation::ServiceArea serviceArea(bool installed, bool managed) const;

    // Detail area's placeholder: installing comes first, then a running service is checked again.
    Q_INVOKABLE Presentation::PlaceholderAction placeholderAction(bool installed, bool running) const;
    Q_INVOKABLE QString placeholderMessage(Presentation::PlaceholderAction action) const;
    Q_INVOKABLE QString placeholderButtonTitle(Presentation::PlaceholderAction action) const;

    // Update card and activity footer: the update message, when there is one, comes first.
    Q_INVOKABLE QString updateStatusText(const QVariant &updateMessage, bool isCheckingUpdates) const;
    Q_INVOKABLE QString activityText(bool isInstallingManagerUpdate, const QVariant &updateMessage,
                                     const QString &activityMessage) const;

    // Shared by both windows.
    Q_INVOKABLE QString updateButtonTitle(bool installing) const;
    Q_INVOKABLE QString errorAlertText(const QVariant &errorMessage) const;
    // The platform's settings shortcut (Command-, on a Mac), Ctrl+, where the platform has none.
    Q_INVOKABLE QString settingsShortcut() const;
};
