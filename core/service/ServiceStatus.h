#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

// The print service as the installer script's status command reports it.
struct ServiceStatus
{
    bool installed = false;
    bool managed = false;
    bool running = false;
    bool healthy = false;
    bool autoStart = false;
    QString version;
    QString host;
    qint64 port = 0;
    QString url;
    QString installRoot;
    QString dataDir;
    QString logDir;

    // What the manager shows before the first status has been read.
    static ServiceStatus unavailable();

    // Strict: every key present, of its exact JSON type, not null; unknown keys are ignored.
    static std::optional<ServiceStatus> fromJson(const QJsonObject &object);
    QJsonObject toJson() const;

    bool operator==(const ServiceStatus &) const = default;
};
