#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

// One progress line that the installer script prints while a command runs.
struct InstallerEvent
{
    QString event;
    qint64 progress = 0;
    QString message;

    // Strict in the same way as ServiceStatus: all three keys, exact types.
    static std::optional<InstallerEvent> fromJson(const QJsonObject &object);
    QJsonObject toJson() const;

    bool operator==(const InstallerEvent &) const = default;
};
