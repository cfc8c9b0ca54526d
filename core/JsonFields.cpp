#include "JsonFields.h"

#include <QJsonValue>

namespace JsonFields {

std::optional<bool> boolean(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isBool())
        return std::nullopt;
    return value.toBool();
}

std::optional<QString> string(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<qint64> integer(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    // toInteger() answers its default for fractions and out-of-range values; two different
    // defaults tell such a value apart from one that happens to equal a default.
    const qint64 first = value.toInteger(0);
    if (first == 0 && value.toInteger(1) != 0)
        return std::nullopt;
    return first;
}

} // namespace JsonFields
