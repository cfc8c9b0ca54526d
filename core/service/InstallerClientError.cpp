#include "service/InstallerClientError.h"

#include "service/InstallerClient.h"

InstallerClientError::InstallerClientError(Kind kind, QString text, InstallerCommandResult result)
    : kind_(kind)
    , text_(std::move(text))
    , result_(std::move(result))
{
}

InstallerClientError InstallerClientError::missingInstaller(const QString &path)
{
    return InstallerClientError(Kind::missingInstaller, path, {});
}

InstallerClientError InstallerClientError::commandFailed(const InstallerCommandResult &result)
{
    return InstallerClientError(Kind::commandFailed, QString(), result);
}

InstallerClientError InstallerClientError::invalidResponse(const QString &detail)
{
    return InstallerClientError(Kind::invalidResponse, detail, {});
}

namespace {

// The last event message wins (standard output after standard error), then the trimmed
// standard error, then the exit code.
QString describeFailure(const InstallerCommandResult &result)
{
    const QList<InstallerEvent> events = InstallerClient::events(result.standardError)
                                         + InstallerClient::events(result.standardOutput);
    if (!events.isEmpty())
        return events.last().message;
    const QString trimmedError = result.standardError.trimmed();
    if (!trimmedError.isEmpty())
        return trimmedError;
    return QStringLiteral("服务命令执行失败（%1）").arg(result.exitCode);
}

} // namespace

QString InstallerClientError::errorDescription() const
{
    switch (kind_) {
    case Kind::missingInstaller:
        return QStringLiteral("安装器资源不存在：") + text_;
    case Kind::commandFailed:
        return describeFailure(result_);
    case Kind::invalidResponse:
        return QStringLiteral("无法读取服务状态：") + text_;
    }
    return QString();
}
