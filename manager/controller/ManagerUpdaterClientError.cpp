#include "ManagerUpdaterClientError.h"

ManagerUpdaterClientError::ManagerUpdaterClientError(Kind kind, QString message)
    : kind_(kind)
    , message_(std::move(message))
{
}

ManagerUpdaterClientError ManagerUpdaterClientError::helperMissing()
{
    return ManagerUpdaterClientError(Kind::helperMissing, {});
}

ManagerUpdaterClientError ManagerUpdaterClientError::helperFailed(const QString &message)
{
    return ManagerUpdaterClientError(Kind::helperFailed, message);
}

ManagerUpdaterClientError ManagerUpdaterClientError::unsupportedInstallLocation()
{
    return ManagerUpdaterClientError(Kind::unsupportedInstallLocation, {});
}

ManagerUpdaterClientError ManagerUpdaterClientError::installLocationNotWritable()
{
    return ManagerUpdaterClientError(Kind::installLocationNotWritable, {});
}

QString ManagerUpdaterClientError::errorDescription() const
{
    switch (kind_) {
    case Kind::helperMissing:
        return QStringLiteral("App 内缺少更新助手，请重新下载安装包");
    case Kind::helperFailed:
        return message_;
    case Kind::unsupportedInstallLocation:
        return QStringLiteral("请先将 Quillo Edge 移到“应用程序”文件夹，再使用自动更新");
    case Kind::installLocationNotWritable:
        return QStringLiteral("没有权限更新当前 App，请确认当前用户可以写入“应用程序”文件夹");
    }
    return message_;
}
