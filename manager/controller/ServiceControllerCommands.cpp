#include "ServiceController.h"

#include "BackgroundTask.h"
#include "BundleResources.h"
#include "ControllerLog.h"
#include "ServiceControllerError.h"
#include "service/InstallerClient.h"
#include "text/ErrorText.h"

#include <QElapsedTimer>
#include <QPointer>

void ServiceController::start()
{
    perform(QStringLiteral("start"), {}, QStringLiteral("正在启动打印服务…"));
}

void ServiceController::stop()
{
    perform(QStringLiteral("stop"), {}, QStringLiteral("正在停止打印服务…"));
}

void ServiceController::restart()
{
    perform(QStringLiteral("restart"), {}, QStringLiteral("正在重新启动打印服务…"));
}

void ServiceController::setAutoStart(bool enabled)
{
    if (enabled)
        perform(QStringLiteral("enable"), {}, QStringLiteral("正在设置自动启动…"));
    else
        perform(QStringLiteral("disable"), {}, QStringLiteral("正在关闭自动启动…"));
}

void ServiceController::install()
{
    // Checked before the busy test, so a broken bundle is reported whatever else runs.
    const QString serverPath = bundledServerURL().toLocalFile();
    if (!BundleResources::isExecutableFile(serverPath)) {
        setErrorMessage(QStringLiteral("App 内缺少打印服务，请重新下载安装包"));
        return;
    }
    perform(QStringLiteral("install"), {QStringLiteral("--binary"), serverPath, QStringLiteral("--autostart")},
            QStringLiteral("正在启用打印服务…"));
}

void ServiceController::uninstall()
{
    perform(QStringLiteral("uninstall"), {}, QStringLiteral("正在移除打印服务…"));
}

void ServiceController::perform(const QString &command, const QStringList &extraArguments,
                                const QString &initialMessage, std::optional<QUrl> installer,
                                std::optional<QString> expectedVersion, std::function<void(bool)> completion)
{
    if (isBusy_) {
        qCInfo(controllerLog) << "command" << command << "refused: another runs";
        if (completion)
            completion(false);
        return;
    }
    setIsBusy(true);
    setActivityMessage(initialMessage);
    setActivityProgress(std::nullopt);
    setErrorMessage(std::nullopt);

    InstallerClient client((installer ? *installer : installerURL()).toLocalFile());
    QStringList arguments{command};
    arguments += extraArguments;
    arguments += QStringLiteral("--json");
    qCInfo(controllerLog) << "command" << arguments;
    commandTask(client, arguments, command, expectedVersion, completion);
}

QCoro::Task<> ServiceController::commandTask(InstallerClient client, QStringList arguments, QString command,
                                             std::optional<QString> expectedVersion,
                                             std::function<void(bool)> completion)
{
    QPointer<ServiceController> self(this);
    QElapsedTimer clock;
    clock.start();
    std::exception_ptr failure;
    try {
        auto run = startInBackground([client, arguments] { return client.run(arguments); });
        BackgroundResult<InstallerCommandResult> runOutcome = co_await run;
        const InstallerCommandResult result = runOutcome.take();
        if (!self)
            throw ControllerGone();

        const QList<InstallerEvent> events = InstallerClient::events(result.standardOutput);
        if (!events.isEmpty()) {
            setActivityMessage(events.last().message);
            setActivityProgress(double(events.last().progress) / 100.0);
        }

        auto read = startInBackground([client] { return client.status(); });
        BackgroundResult<ServiceStatus> readOutcome = co_await read;
        ServiceStatus status = readOutcome.take();
        if (!self)
            throw ControllerGone();
        setStatus(std::move(status));

        if (command == QStringLiteral("upgrade")) {
            if (expectedVersion && *expectedVersion != status_.version)
                throw ServiceControllerError::versionMismatch(*expectedVersion, status_.version);
            setServerUpdate(std::nullopt);
            setUpdateMessage(QStringLiteral("打印服务已更新到 ") + status_.version);
        }
    } catch (...) {
        failure = std::current_exception();
    }

    qCInfo(controllerLog) << "command" << command << (failure ? "failed" : "done") << "in" << clock.elapsed() << "ms";
    if (self) {
        if (failure)
            setErrorMessage(errorText(failure));
        setIsBusy(false);
        setActivityProgress(std::nullopt);
    }
    if (completion)
        completion(!failure);
}
