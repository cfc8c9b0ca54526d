// ManagerUpdater: the "prepare" command and the image it mounts.
#include "ManagerUpdater.h"

#include "AttachOutput.h"
#include "FileSystem.h"
#include "UpdaterError.h"
#include "bundle/StandardizedPath.h"
#include "release/ManagerUpdatePolicy.h"
#include "text/ErrorText.h"

#include <QFileInfo>
#include <QUuid>

void ManagerUpdater::prepare(const ParsedArguments &arguments)
{
    const QString imagePath = standardizedPath(arguments.required(QStringLiteral("--dmg")));
    const QString stagedApp = standardizedPath(arguments.required(QStringLiteral("--staged-app")));
    const QString version = arguments.required(QStringLiteral("--version"));
    const qint64 buildNumber = arguments.requiredInt(QStringLiteral("--build"));
    requireApplicationName(stagedApp);
    requireUnderUpdateCache(stagedApp);

    logger_.write(QStringLiteral("Preparing manager update %1 (%2)").arg(version, QString::number(buildNumber)));
    const QString mountPoint = attach(imagePath);
    try {
        stageFromImage(mountPoint, stagedApp, version, buildNumber);
    } catch (...) {
        detach(mountPoint, true);
        throw;
    }
    detach(mountPoint, true);
}

void ManagerUpdater::stageFromImage(const QString &mountPoint, const QString &stagedApp,
                                    const QString &version, qint64 buildNumber)
{
    const QString imageApp = mountPoint + u'/' + ManagerUpdatePolicy::appName;
    if (!FileSystem::exists(imageApp))
        throw UpdaterError::invalidDiskImage();
    validateApplication(imageApp, version, buildNumber);

    // Replaced, never merged into: stale files must not survive into the new bundle.
    if (FileSystem::exists(stagedApp))
        FileSystem::removeItem(stagedApp);
    FileSystem::createFolders(QFileInfo(stagedApp).path());
    run(environment_.tools.copier, {imageApp, stagedApp});
    validateApplication(stagedApp, version, buildNumber);
    logger_.write(QStringLiteral("Manager update is staged and verified"));
}

QString ManagerUpdater::attach(const QString &imagePath)
{
    const QString mountPoint = environment_.mountPointParent + QStringLiteral("/quillo-edge-update-")
        + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    FileSystem::createPrivateFolder(mountPoint);
    try {
        const ProcessResult result = run(environment_.tools.diskImageTool,
                                         {QStringLiteral("attach"), QStringLiteral("-nobrowse"),
                                          QStringLiteral("-readonly"), QStringLiteral("-mountpoint"),
                                          mountPoint, QStringLiteral("-plist"), imagePath});
        const QStringList mounted = AttachOutput::mountPoints(result.standardOutput);
        if (standardizedPath(mounted.first()) != standardizedPath(mountPoint))
            throw UpdaterError::invalidDiskImage();
    } catch (...) {
        detach(mountPoint, false);
        throw;
    }
    return mountPoint;
}

void ManagerUpdater::detach(const QString &mountPoint, bool logFailure)
{
    try {
        run(environment_.tools.diskImageTool, {QStringLiteral("detach"), mountPoint});
    } catch (const std::exception &) {
        if (logFailure)
            logger_.write(QStringLiteral("Unable to detach update image: ") + errorText(std::current_exception()));
    }
    FileSystem::removeEmptyFolderQuietly(mountPoint);
}
