#include "UpdaterError.h"

UpdaterError::UpdaterError(Kind kind, QString first, QString second)
    : kind_(kind)
    , first_(std::move(first))
    , second_(std::move(second))
{
}

UpdaterError UpdaterError::invalidArguments(QString message)
{
    return UpdaterError(Kind::invalidArguments, std::move(message));
}

UpdaterError UpdaterError::commandFailed(QString toolPath, QString detail)
{
    return UpdaterError(Kind::commandFailed, std::move(toolPath), std::move(detail));
}

UpdaterError UpdaterError::invalidApplication(QString reason)
{
    return UpdaterError(Kind::invalidApplication, std::move(reason));
}

UpdaterError UpdaterError::invalidDiskImage()
{
    return UpdaterError(Kind::invalidDiskImage);
}

UpdaterError UpdaterError::unsupportedInstallLocation()
{
    return UpdaterError(Kind::unsupportedInstallLocation);
}

UpdaterError UpdaterError::parentDidNotExit()
{
    return UpdaterError(Kind::parentDidNotExit);
}

QString UpdaterError::errorDescription() const
{
    switch (kind_) {
    case Kind::invalidArguments:
        return first_;
    case Kind::commandFailed:
        if (second_.isEmpty())
            return QStringLiteral("执行 ") + first_ + QStringLiteral(" 失败");
        return QStringLiteral("执行 ") + first_ + QStringLiteral(" 失败：") + second_;
    case Kind::invalidApplication:
        return QStringLiteral("App 安全校验失败：") + first_;
    case Kind::invalidDiskImage:
        return QStringLiteral("安装包中没有找到 Quillo Edge");
    case Kind::unsupportedInstallLocation:
        return QStringLiteral("只允许更新“应用程序”文件夹中的 Quillo Edge");
    case Kind::parentDidNotExit:
        return QStringLiteral("旧版 Edge 管理器未能退出，更新已取消");
    }
    return {};
}
