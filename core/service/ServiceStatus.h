#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

#include <optional>

// The print service as the installer script's status command reports it. Views read its fields but
// cannot write them, so a status changes only as a whole.
struct ServiceStatus
{
    Q_GADGET
    Q_PROPERTY(bool installed MEMBER installed CONSTANT FINAL)
    Q_PROPERTY(bool managed MEMBER managed CONSTANT FINAL)
    Q_PROPERTY(bool running MEMBER running CONSTANT FINAL)
    Q_PROPERTY(bool healthy MEMBER healthy CONSTANT FINAL)
    Q_PROPERTY(bool autoStart MEMBER autoStart CONSTANT FINAL)
    Q_PROPERTY(QString version MEMBER version CONSTANT FINAL)
    Q_PROPERTY(QString host MEMBER host CONSTANT FINAL)
    // A number as QML has them: its tools know no 64-bit integer.
    Q_PROPERTY(double port READ portNumber CONSTANT FINAL)
    Q_PROPERTY(QString url MEMBER url CONSTANT FINAL)
    Q_PROPERTY(QString installRoot MEMBER installRoot CONSTANT FINAL)
    Q_PROPERTY(QString dataDir MEMBER dataDir CONSTANT FINAL)
    Q_PROPERTY(QString logDir MEMBER logDir CONSTANT FINAL)

public:
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

    double portNumber() const { return double(port); }

    // What the manager shows before the first status has been read.
    static ServiceStatus unavailable();

    // Strict: every key present, of its exact JSON type, not null; unknown keys are ignored.
    static std::optional<ServiceStatus> fromJson(const QJsonObject &object);
    QJsonObject toJson() const;

    bool operator==(const ServiceStatus &) const = default;
};
