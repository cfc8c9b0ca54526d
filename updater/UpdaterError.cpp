#include "UpdaterError.h"

UpdaterError::UpdaterError(Case errorCase, QString first, QString second)
    : case_(errorCase)
    , first_(std::move(first))
    , second_(std::move(second))
{
}

UpdaterError UpdaterError::invalidArguments(QString message)
{
    return UpdaterError(Case::invalidArguments, std::move(message));
}

UpdaterError UpdaterError::commandFailed(QString toolPath, QString detail)
{
    return UpdaterError(Case::commandFailed, std::move(toolPath), std::move(detail));
}

UpdaterError UpdaterError::invalidApplication(QString reason)
{
    return UpdaterError(Case::invalidApplication, std::move(reason));
}

UpdaterError UpdaterError::invalidDiskImage()
{
    return UpdaterError(Case::invalidDiskImage);
}

UpdaterError UpdaterError::unsupportedInstallLocation()
{
    return UpdaterError(Case::unsupportedInstallLocation);
}

UpdaterError UpdaterError::parentDidNotExit()
{
    return UpdaterError(Case::parentDidNotExit);
}

UpdaterError::Case UpdaterError::errorCase() const
{
    return case_;
}

QString UpdaterError::errorDescription() const
{
    switch (case_) {
    case Case::invalidArguments:
        return first_;
    case Case::commandFailed:
        if (second_.isEmpty())
            return QStringLiteral("执行 ") + first_ + QStringLiteral(" 失败");
        return QStringLiteral("执行 ") + first_ + QStringLiteral(" 失败：") + second_;
    case Case::invalidApplication:
        return QStringLiteral("App 安全校验失败：") + first_;
    case Case::invalidDiskImage:
        return QStringLiteral("安装包中没有找到 Quillo Edge");
    case Case::unsupportedInstallLocation:
        return QStringLiteral("只允许更新“应用程序”文件夹中的 Quillo Edge");
    case Case::parentDidNotExit:
        return QStringLiteral("旧版 Edge 管理器未能退出，更新已取消");
    }
    return {};
}
