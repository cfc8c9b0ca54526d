#include "json/JsonFields.h"

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
    // Qt holds a number as an integer exactly when it is whole and fits (parseStrictJson sees
    // to it for numbers that only round to whole ones); toInteger() would take NaN for -2^63.
    if (value.toVariant().typeId() != QMetaType::LongLong)
        return std::nullopt;
    return value.toInteger();
}

} // namespace JsonFields
