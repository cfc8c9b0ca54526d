#include "service/InstallerEvent.h"

#include "json/JsonFields.h"

std::optional<InstallerEvent> InstallerEvent::fromJson(const QJsonObject &object)
{
    const auto event = JsonFields::string(object, QStringLiteral("event"));
    const auto progress = JsonFields::integer(object, QStringLiteral("progress"));
    const auto message = JsonFields::string(object, QStringLiteral("message"));
    if (!event || !progress || !message)
        return std::nullopt;
    return InstallerEvent{*event, *progress, *message};
}

QJsonObject InstallerEvent::toJson() const
{
    return QJsonObject{
        {QStringLiteral("event"), event},
        {QStringLiteral("progress"), progress},
        {QStringLiteral("message"), message},
    };
}
