#pragma once

#include <QJsonObject>
#include <QString>

#include <optional>

// Strict readers for one key of a JSON object: present, not null, and of exactly this type.
namespace JsonFields {

std::optional<bool> boolean(const QJsonObject &object, const QString &key);
std::optional<QString> string(const QJsonObject &object, const QString &key);
// A JSON number that is a whole value within the signed 64-bit range.
std::optional<qint64> integer(const QJsonObject &object, const QString &key);

} // namespace JsonFields
