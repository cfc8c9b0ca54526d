#include "ServiceControllerError.h"

ServiceControllerError::ServiceControllerError(Kind kind, QString expected, QString actual)
    : kind_(kind)
    , expected_(std::move(expected))
    , actual_(std::move(actual))
{
}

ServiceControllerError ServiceControllerError::versionMismatch(const QString &expected, const QString &actual)
{
    return ServiceControllerError(Kind::versionMismatch, expected, actual);
}

QString ServiceControllerError::errorDescription() const
{
    const QString reported = actual_.isEmpty() ? QStringLiteral("未知") : actual_;
    return QStringLiteral("打印服务更新未完成：目标版本为 ") + expected_ + QStringLiteral("，当前仍为 ") + reported;
}
