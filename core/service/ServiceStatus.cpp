#include "service/ServiceStatus.h"

#include "json/JsonFields.h"

ServiceStatus ServiceStatus::unavailable()
{
    ServiceStatus status;
    status.host = QStringLiteral("0.0.0.0");
    status.port = 6176;
    status.url = QStringLiteral("http://127.0.0.1:6176");
    return status;
}

std::optional<ServiceStatus> ServiceStatus::fromJson(const QJsonObject &object)
{
    using namespace JsonFields;
    const auto installed = boolean(object, QStringLiteral("installed"));
    const auto managed = boolean(object, QStringLiteral("managed"));
    const auto running = boolean(object, QStringLiteral("running"));
    const auto healthy = boolean(object, QStringLiteral("healthy"));
    const auto autoStart = boolean(object, QStringLiteral("autoStart"));
    const auto version = string(object, QStringLiteral("version"));
    const auto host = string(object, QStringLiteral("host"));
    const auto port = integer(object, QStringLiteral("port"));
    const auto url = string(object, QStringLiteral("url"));
    const auto installRoot = string(object, QStringLiteral("installRoot"));
    const auto dataDir = string(object, QStringLiteral("dataDir"));
    const auto logDir = string(object, QStringLiteral("logDir"));
    if (!installed || !managed || !running || !healthy || !autoStart || !version || !host || !port
        || !url || !installRoot || !dataDir || !logDir)
        return std::nullopt;
    return ServiceStatus{*installed, *managed, *running, *healthy, *autoStart, *version, *host,
                         *port, *url, *installRoot, *dataDir, *logDir};
}

QJsonObject ServiceStatus::toJson() const
{
    return QJsonObject{
        {QStringLiteral("installed"), installed},
        {QStringLiteral("managed"), managed},
        {QStringLiteral("running"), running},
        {QStringLiteral("healthy"), healthy},
        {QStringLiteral("autoStart"), autoStart},
        {QStringLiteral("version"), version},
        {QStringLiteral("host"), host},
        {QStringLiteral("port"), port},
        {QStringLiteral("url"), url},
        {QStringLiteral("installRoot"), installRoot},
        {QStringLiteral("dataDir"), dataDir},
        {QStringLiteral("logDir"), logDir},
    };
}
