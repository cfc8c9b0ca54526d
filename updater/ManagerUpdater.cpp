#include "ManagerUpdater.h"

#include "FileSystem.h"
#include "ManagerUpdatePolicy.h"
#include "StandardizedPath.h"
#include "UpdaterError.h"
#include "Utf8Text.h"

#include <QFileInfo>
#include <QProcess>

ManagerUpdater::ManagerUpdater(UpdaterEnvironment environment, const UpdateLogger &logger)
    : environment_(std::move(environment))
    , logger_(logger)
{
}

ProcessResult ManagerUpdater::run(const QString &tool, const QStringList &arguments)
{
    QProcess process;
    process.setProgram(tool);
    process.setArguments(arguments);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start();
    if (!process.waitForStarted(-1))
        throw SystemError(process.errorString());
    // Reads both pipes while it waits, so no amount of output can stall the tool.
    process.waitForFinished(-1);

    ProcessResult result{decodeUtf8OrEmpty(process.readAllStandardOutput()),
                         decodeUtf8OrEmpty(process.readAllStandardError())};
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        // QString::trimmed() removes exactly the Unicode White_Space characters.
        throw UpdaterError::commandFailed(tool, result.standardError.trimmed());
    }
    return result;
}

void ManagerUpdater::requireUnderUpdateCache(const QString &location)
{
    if (environment_.cachesDirectory.isEmpty())
        throw SystemError(QStringLiteral("The user's caches folder could not be located"));
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
