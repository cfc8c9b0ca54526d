#include "ServiceController.h"

#include "BackgroundTask.h"
#include "BundleResources.h"
#include "ControllerLog.h"
#include "ManagerUpdaterClient.h"
#include "ManagerUpdaterClientError.h"
#include "bundle/StandardizedPath.h"
#include "release/ManagerUpdatePolicy.h"
#include "text/ErrorText.h"
#include "text/UserFacingError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUuid>

#include <QCoroTimer>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

QString systemErrorText(const QString &path)
{
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

void makeFolderWithParents(const QString &path)
{
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(path).toStdString(), error);
    if (error)
        throw SystemError(path + QStringLiteral(": ") + QString::fromLocal8Bit(error.message()));
}

// Owner-only from the first moment: the folder will hold a program that is about to run.
void makePrivateFolder(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 || ::chmod(name.constData(), 0700) != 0)
        throw SystemError(systemErrorText(path));
}

void copyPrivateExecutable(const QString &source, const QString &destination)
{
    QFile file(source);
    if (!file.copy(destination))
        throw SystemError(file.errorString());
    if (::chmod(QFile::encodeName(destination).constData(), 0700) != 0)
        throw SystemError(systemErrorText(destination));
}

bool isWritableFolder(const QString &path)
{
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

} // namespace

void ServiceController::updateManager()
{
    const bool hasArtifact = managerUpdate_ && managerUpdate_->artifact;
    const bool hasBuildNumber = hasArtifact && managerUpdate_->manifest.buildNumber;
    if (!hasArtifact || !hasBuildNumber || isBusy_ || isInstallingManagerUpdate_) {
        if (!hasArtifact)
            setUpdateMessage(setup_.managerLine.noMatchingArtifactMessage);
        else if (!hasBuildNumber)
            setUpdateMessage(QStringLiteral("发布信息中缺少构建号"));
        return;
    }

    const QString bundlePath = standardizedPath(setup_.bundle.path());
    if (!ManagerUpdatePolicy::isSupportedTarget(bundlePath, homeDirectory())) {
        setErrorMessage(ManagerUpdaterClientError::unsupportedInstallLocation().errorDescription());
        return;
    }
    if (!BundleResources::isExecutableFile(updaterURL().toLocalFile())) {
        setErrorMessage(ManagerUpdaterClientError::helperMissing().errorDescription());
        return;
    }
    if (!isWritableFolder(QFileInfo(bundlePath).absolutePath())) {
        setErrorMessage(ManagerUpdaterClientError::installLocationNotWritable().errorDescription());
        return;
    }

    setIsInstallingManagerUpdate(true);
    setErrorMessage(std::nullopt);
    setUpdateMessage(QStringLiteral("正在下载并校验管理应用…"));
    const AvailableRelease release = *managerUpdate_;
    managerUpdateTask(release, *release.artifact, *release.manifest.buildNumber, bundlePath);
}

QCoro::Task<> ServiceController::managerUpdateTask(AvailableRelease release, ReleaseArtifact artifact,
                                                   qint64 buildNumber, QString bundlePath)
{
    QPointer<ServiceController> self(this);
    const std::shared_ptr<const ReleaseFeedClient> feed = setup_.feed;
    const QString version = release.manifest.version;
    const QString build = QString::number(buildNumber);
    QString workFolder;
    std::exception_ptr failure;
    try {
        const QString caches = setup_.cachesDirectory.isEmpty()
            ? QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
            : setup_.cachesDirectory;
        if (caches.isEmpty())
            throw SystemError(QStringLiteral("无法找到用户缓存文件夹"));
        const QString root = caches + QStringLiteral("/Quillo Updates");
        workFolder = root + QStringLiteral("/manager-")
            + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        makeFolderWithParents(root);
        makePrivateFolder(workFolder);

        QCoro::Task<QString> download = feed->downloadAndVerify(artifact, workFolder);
        const QString diskImage = co_await download;
        if (!self)
            throw ControllerGone();
        setUpdateMessage(QStringLiteral("正在验证签名并准备更新…"));

        const QString stagedApp = workFolder + QStringLiteral("/Staged/") + ManagerUpdatePolicy::appName;
        // The bundle's own updater is about to be replaced, so both runs use a private copy.
        const QString updater = workFolder + QStringLiteral("/QuilloEdgeUpdater");
        copyPrivateExecutable(updaterURL().toLocalFile(), updater);

        const QStringList prepare{QStringLiteral("prepare"), QStringLiteral("--dmg"), diskImage,
                                  QStringLiteral("--staged-app"), stagedApp, QStringLiteral("--version"),
                                  version, QStringLiteral("--build"), build};
        auto preparation = startInBackground([updater, prepare] { ManagerUpdaterClient(updater).runAndWait(prepare); });
        BackgroundResult<void> prepared = co_await preparation;
        prepared.take();
        if (!self)
            throw ControllerGone();
        setUpdateMessage(QStringLiteral("更新已准备，正在重新打开 Quillo Edge…"));

        const QStringList install{QStringLiteral("install"), QStringLiteral("--staged-app"), stagedApp,
                                  QStringLiteral("--target-app"), bundlePath, QStringLiteral("--work-dir"),
                                  workFolder, QStringLiteral("--version"), version, QStringLiteral("--build"),
                                  build, QStringLiteral("--parent-pid"),
                                  QString::number(QCoreApplication::applicationPid())};
        QProcess installer;
        installer.setProgram(updater);
        installer.setArguments(install);
        installer.setStandardOutputFile(QProcess::nullDevice());
        installer.setStandardErrorFile(QProcess::nullDevice());
        qCInfo(controllerLog) << "handing over to the updater:" << install;
        if (!installer.startDetached())
            throw SystemError(installer.errorString());
    } catch (...) {
        failure = std::current_exception();
    }

    if (failure) {
        // The work folder is ours until "install" has started; leave nothing behind.
        if (!workFolder.isEmpty())
            QDir(workFolder).removeRecursively();
        if (self) {
            setUpdateMessage(errorText(failure));
            setIsInstallingManagerUpdate(false);
        }
        co_return;
    }

    setManagerUpdate(std::nullopt);
    // A coarse timer may fire up to 5% early; keep the whole pause before quitting.
    QTimer pause;
    pause.setTimerType(Qt::PreciseTimer);
    pause.setSingleShot(true);
    pause.start(250ms);
    co_await qCoro(pause).waitForTimeout();
    if (self) {
        qCInfo(controllerLog) << "quitting for the update";
        setup_.quitApplication();
    }
}
