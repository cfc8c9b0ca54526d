#include "ParsedArguments.h"

#include "UpdaterError.h"
#include "text/DecimalInteger.h"

ParsedArguments ParsedArguments::parse(const QStringList &arguments)
{
    ParsedArguments parsed;
    for (qsizetype position = 0; position < arguments.size(); position += 2) {
        const QString &name = arguments.at(position);
        if (!name.startsWith(QStringLiteral("--")) || position + 1 >= arguments.size())
            throw UpdaterError::invalidArguments(QStringLiteral("更新参数格式无效：") + name);
        parsed.values_.insert(name, arguments.at(position + 1));
    }
    return parsed;
}

QString ParsedArguments::required(const QString &name) const
{
    const QString value = values_.value(name);
    if (value.isEmpty())
        throw UpdaterError::invalidArguments(QStringLiteral("缺少更新参数：") + name);
    return value;
}

qint64 ParsedArguments::requiredInt(const QString &name) const
{
    const std::optional<qint64> number = parseDecimalInteger(required(name));
    if (!number)
        throw UpdaterError::invalidArguments(QStringLiteral("更新参数不是数字：") + name);
    return *number;
}
