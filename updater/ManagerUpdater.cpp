#include "ManagerUpdater.h"

#include "FileSystem.h"
#include "UpdaterError.h"
#include "UpdaterLog.h"
#include "bundle/StandardizedPath.h"
#include "process/ProcessRun.h"
#include "release/ManagerUpdatePolicy.h"
#include "text/Utf8Text.h"

#include <QElapsedTimer>
#include <QFileInfo>

ManagerUpdater::ManagerUpdater(UpdaterEnvironment environment, const UpdateLogger &logger)
    : environment_(std::move(environment))
    , logger_(logger)
{
}

ProcessResult ManagerUpdater::run(const Tool &tool, const QStringList &arguments)
{
    QElapsedTimer clock;
    clock.start();
    const ProcessOutput output = runProcess(tool.path, arguments, tool.name);
    qCInfo(updaterLog).nospace().noquote() << tool.name << ' ' << arguments.value(0) << ": "
                                           << (output.killedBySignal ? "signal " : "exit ") << output.exitCode
                                           << ", " << clock.elapsed() << " ms";
    ProcessResult result{decodeUtf8OrEmpty(output.standardOutput), decodeUtf8OrEmpty(output.standardError)};
    if (output.killedBySignal || output.exitCode != 0) {
        // QString::trimmed() removes exactly the Unicode White_Space characters.
        throw UpdaterError::commandFailed(tool.name, result.standardError.trimmed());
    }
    return result;
}

void ManagerUpdater::requireUnderUpdateCache(const QString &location)
{
    if (environment_.cachesDirectory.isEmpty())
        throw SystemError(QStringLiteral("无法找到用户缓存文件夹"));
    FileSystem::createFolders(environment_.cachesDirectory);

    const QString root = standardizedPath(environment_.cachesDirectory + QStringLiteral("/Quillo Updates"));
    if (!standardizedPath(location).startsWith(root + u'/'))
        throw UpdaterError::invalidArguments(QStringLiteral("更新暂存路径不安全"));
}

void ManagerUpdater::requireApplicationName(const QString &stagedApp)
{
    if (QFileInfo(stagedApp).fileName() != ManagerUpdatePolicy::appName)
        throw UpdaterError::invalidArguments(QStringLiteral("暂存 App 路径无效"));
}
