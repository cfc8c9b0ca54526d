#include "ControllerTestSupport.h"

#include "FakeBundle.h"
#include "LocalHttpsServer.h"
#include "TestCertificate.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QJSEngine>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString readingStatus = QStringLiteral("正在读取服务状态…");

struct Snapshot
{
    bool busy;
    QString message;
    std::optional<double> progress;
    std::optional<QString> error;
    ServiceStatus status;
};

Snapshot snapshot(const ServiceController &controller)
{
    return {controller.isBusy(), controller.activityMessage(), controller.activityProgress(),
            controller.errorMessage(), controller.status()};
}

QByteArray eventLine(qint64 progress, const QString &message)
{
    return QStringLiteral(R"({"event":"step","progress":%1,"message":"%2"})").arg(progress).arg(message).toUtf8()
        + "\n";
}

} // namespace

// Catches what the controller asks the desktop to open.
class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class ServiceControllerTest : public QObject
{
    Q_OBJECT

private:
    TestCertificate certificate_;
    std::unique_ptr<LocalHttpsServer> feed_;
    QTemporaryDir folder_;
    QString bundlePath_;

    // Update checks that a refresh triggers go to a local feed that knows no manifests.
    std::unique_ptr<ServiceController> makeController()
    {
        ServiceControllerSetup setup;
        setup.bundle = AppBundle(bundlePath_);
        setup.feed = std::make_shared<const ReleaseFeedClient>(certificate_.clientConfiguration());
        setup.managerManifestURL = feed_->url(QStringLiteral("/macos.json"));
        setup.serverManifestURL = feed_->url(QStringLiteral("/edge.json"));
        setup.homeDirectory = folder_.path();
        setup.cachesDirectory = folder_.filePath(QStringLiteral("caches"));
        setup.pollInterval = std::chrono::milliseconds(300);
        return std::make_unique<ServiceController>(std::move(setup));
    }

    static void waitUntilIdle(ServiceController &controller)
    {
        QTRY_VERIFY_WITH_TIMEOUT(!controller.isBusy(), 10000);
    }

    static void refreshAndWait(ServiceController &controller, bool silent = false)
    {
        QSignalSpy changes(&controller, &ServiceController::statusChanged);
        controller.refresh(silent);
        QTRY_VERIFY_WITH_TIMEOUT(changes.count() > 0, 10000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(certificate_.isValid(), qPrintable(certificate_.error()));
        feed_ = std::make_unique<LocalHttpsServer>(certificate_);
        QVERIFY(feed_->isListening());
        bundlePath_ = makeManagerBundle(folder_.filePath(QStringLiteral("Applications")), QStringLiteral("1.4.0"), 27);
        QVERIFY(!bundlePath_.isEmpty());
    }

    void startsWithTheInitialStateAndNoWork()
    {
        InstallerFixture installer;
        auto controller = makeController();
        QCOMPARE(controller->status(), ServiceStatus::unavailable());
        QCOMPARE(controller->isBusy(), false);
        QCOMPARE(controller->activityMessage(), readingStatus);
        QCOMPARE(controller->activityProgress(), std::nullopt);
        QCOMPARE(controller->errorMessage(), std::nullopt);
        QVERIFY(!controller->managerUpdate() && !controller->serverUpdate());
        QVERIFY(!controller->isCheckingUpdates() && !controller->isInstallingServerUpdate()
                && !controller->isInstallingManagerUpdate());
        QCOMPARE(controller->updateMessage(), std::nullopt);
        QCOMPARE(controller->presentationState(), ServicePresentationState::notInstalled);
        QTest::qWait(100);
        QVERIFY(installer.calls().isEmpty());
        QVERIFY(feed_->requests().isEmpty());
    }

    void locatesBundleResources_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QString>("bundleSuffix");
        QTest::newRow("installer") << QByteArray("QUILLO_MANAGER_INSTALLER")
                                   << QStringLiteral("/Contents/Resources/Installer/install.sh");
        QTest::newRow("print service") << QByteArray("QUILLO_MANAGER_EDGE_BINARY")
                                       << QStringLiteral("/Contents/Resources/Payload/quillo-edge-server");
        QTest::newRow("updater") << QByteArray("QUILLO_MANAGER_UPDATER")
                                 << QStringLiteral("/Contents/Helpers/QuilloEdgeUpdater");
    }

    void locatesBundleResources()
    {
        QFETCH(QByteArray, variable);
        QFETCH(QString, bundleSuffix);
        auto controller = makeController();
        const auto location = [&] {
            if (variable == "QUILLO_MANAGER_INSTALLER")
                return controller->installerURL();
            if (variable == "QUILLO_MANAGER_EDGE_BINARY")
                return controller->bundledServerURL();
            return controller->updaterURL();
        };
        QCOMPARE(location(), QUrl::fromLocalFile(bundlePath_ + bundleSuffix));

        // Honoured without any check; read afresh at every use.
        qputenv(variable.constData(), "/nowhere/at all/tool");
        QCOMPARE(location(), QUrl::fromLocalFile(QStringLiteral("/nowhere/at all/tool")));
        qunsetenv(variable.constData());
        QCOMPARE(location(), QUrl::fromLocalFile(bundlePath_ + bundleSuffix));
    }

    void readsManagerVersionFromTheBundle_data()
    {
        QTest::addColumn<QVariantMap>("info");
        QTest::addColumn<QString>("version");
        QTest::addColumn<qint64>("build");
        QTest::addColumn<QString>("label");
        const auto info = [](QVariant version, QVariant build) {
            QVariantMap map;
            if (version.isValid())
                map.insert(QStringLiteral("CFBundleShortVersionString"), version);
            if (build.isValid())
                map.insert(QStringLiteral("CFBundleVersion"), build);
            return map;
        };
        QTest::newRow("both") << info(QStringLiteral("1.4.0"), QStringLiteral("27")) << "1.4.0" << qint64(27)
                              << "1.4.0 (27)";
        QTest::newRow("no version") << info({}, QStringLiteral("12")) << "0.0.0" << qint64(12) << "0.0.0 (12)";
        QTest::newRow("build with letters") << info(QStringLiteral("1.4.0"), QStringLiteral("12a")) << "1.4.0"
                                            << qint64(0) << "1.4.0";
        QTest::newRow("build with plus") << info(QStringLiteral("1.4.0"), QStringLiteral("+7")) << "1.4.0" << qint64(7)
                                         << "1.4.0 (7)";
        QTest::newRow("build not text") << info(QStringLiteral("1.4.0"), qint64(12)) << "1.4.0" << qint64(0)
                                        << "1.4.0";
        QTest::newRow("negative build") << info(QStringLiteral("1.4.0"), QStringLiteral("-3")) << "1.4.0"
                                        << qint64(-3) << "1.4.0";
    }

    void readsManagerVersionFromTheBundle()
    {
        QFETCH(QVariantMap, info);
        QTemporaryDir folder;
        const QString bundle = folder.filePath(QStringLiteral("Quillo Edge.app"));
        QVERIFY(FakeBundle::write(bundle, info, FakeBundle::Format::Binary));
        ServiceControllerSetup setup;
        setup.bundle = AppBundle(bundle);
        ServiceController controller(std::move(setup));
        QTEST(controller.managerVersion(), "version");
        QTEST(controller.managerBuildNumber(), "build");
        QTEST(controller.managerVersionLabel(), "label");
        QTEST(controller.managerVersionDetail(), "label");
    }

    void refreshPublishesStatusAndReadsItOffTheMainThread()
    {
        InstallerFixture installer;
        installer.setStatus(runningStatus());
        auto controller = makeController();
        QSignalSpy statusChanges(controller.get(), &ServiceController::statusChanged);
        controller->refresh();
        QCOMPARE(statusChanges.count(), 0); // returns before the script has run
        QTRY_COMPARE_WITH_TIMEOUT(statusChanges.count(), 1, 10000);
        QCOMPARE(controller->status(), runningStatus());
        QCOMPARE(controller->presentationState(), ServicePresentationState::healthy);

        // Published on every assignment, also when the value is the same.
        controller->refresh();
        QTRY_COMPARE_WITH_TIMEOUT(statusChanges.count(), 2, 10000);
        QCOMPARE(statusChanges.count(), 2);
    }

    void refreshReportsFailuresUntilTheFirstSuccess_data()
    {
        QTest::addColumn<bool>("loadedBefore");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("reported");
        QTest::newRow("first read, not silent") << false << false << true;
        QTest::newRow("first read, silent") << false << true << true;
        QTest::newRow("after a success, not silent") << true << false << true;
        QTest::newRow("after a success, silent") << true << true << false;
    }

    void refreshReportsFailuresUntilTheFirstSuccess()
    {
        QFETCH(bool, loadedBefore);
        QFETCH(bool, silent);
        QFETCH(bool, reported);
        InstallerFixture installer;
        auto controller = makeController();
        const ServiceStatus good = runningStatus();
        if (loadedBefore) {
            installer.setStatus(good);
            refreshAndWait(*controller);
        }
        installer.setFile(QStringLiteral("status"), QStringLiteral("stdout"), "log line\n");
        const int statusRuns = installer.callCount(QStringLiteral("status"));
        QSignalSpy errors(controller.get(), &ServiceController::errorMessageChanged);
        controller->refresh(silent);
        QTRY_COMPARE_WITH_TIMEOUT(installer.callCount(QStringLiteral("status")), statusRuns + 1, 10000);
        if (reported) {
            QTRY_COMPARE(errors.count(), 1);
            QCOMPARE(controller->errorMessage(), QStringLiteral("无法读取服务状态：log line"));
        } else {
            QTest::qWait(300);
            QCOMPARE(errors.count(), 0);
        }
        QCOMPARE(controller->status(), loadedBefore ? good : ServiceStatus::unavailable());
    }

    void refreshShowsReadingMessageOnlyBeforeTheFirstSuccess()
    {
        InstallerFixture installer;
        installer.setFile(QStringLiteral("status"), QStringLiteral("exit"), "1");
        auto controller = makeController();

        // A failed command leaves its own message; the next plain refresh replaces it.
        controller->start();
        waitUntilIdle(*controller);
        QCOMPARE(controller->activityMessage(), QStringLiteral("正在启动打印服务…"));
        QSignalSpy errors(controller.get(), &ServiceController::errorMessageChanged);
        controller->refresh(true);
        QCOMPARE(controller->activityMessage(), QStringLiteral("正在启动打印服务…"));
        controller->refresh();
        QCOMPARE(controller->activityMessage(), readingStatus);
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 2, 10000);

        installer.removeFile(QStringLiteral("status"), QStringLiteral("exit"));
        installer.setStatus(runningStatus());
        refreshAndWait(*controller);
        controller->stop();
        waitUntilIdle(*controller);
        controller->refresh();
        QCOMPARE(controller->activityMessage(), QStringLiteral("正在停止打印服务…"));
    }

    void successfulRefreshClearsACommandError()
    {
        InstallerFixture installer;
        installer.setStatus(runningStatus());
        installer.setFile(QStringLiteral("restart"), QStringLiteral("exit"), "2");
        auto controller = makeController();
        controller->restart();
        waitUntilIdle(*controller);
        QCOMPARE(controller->errorMessage(), QStringLiteral("服务命令执行失败（2）"));
        refreshAndWait(*controller, true);
        QCOMPARE(controller->errorMessage(), std::nullopt);
    }

    void busyControllerRefusesRefreshesAndCommands()
    {
        InstallerFixture installer;
        installer.setStatus(runningStatus());
        installer.setFile(QStringLiteral("start"), QStringLiteral("sleep"), "1");
        auto controller = makeController();
        controller->start();
        QVERIFY(controller->isBusy());

        QSignalSpy messages(controller.get(), &ServiceController::activityMessageChanged);
        QSignalSpy errors(controller.get(), &ServiceController::errorMessageChanged);
        controller->refresh();
        controller->stop();
        std::optional<bool> refused;
        controller->perform(QStringLiteral("restart"), {}, QStringLiteral("x"), std::nullopt, std::nullopt,
                            [&](bool succeeded) { refused = succeeded; });
        QCOMPARE(refused, std::optional<bool>(false)); // before perform returned
        QCOMPARE(messages.count(), 0);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(controller->activityMessage(), QStringLiteral("正在启动打印服务…"));

        waitUntilIdle(*controller);
        QCOMPARE(installer.callCount(QStringLiteral("stop")), 0);
        QCOMPARE(installer.callCount(QStringLiteral("restart")), 0);
        QCOMPARE(installer.callCount(QStringLiteral("status")), 1); // the command's own read only
    }

    void commandsRunWithTheirExactArguments_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("start") << "start" << "正在启动打印服务…" << QStringList{"start", "--json"};
        QTest::newRow("stop") << "stop" << "正在停止打印服务…" << QStringList{"stop", "--json"};
        QTest::newRow("restart") << "restart" << "正在重新启动打印服务…" << QStringList{"restart", "--json"};
        QTest::newRow("autostart on") << "enable" << "正在设置自动启动…" << QStringList{"enable", "--json"};
        QTest::newRow("autostart off") << "disable" << "正在关闭自动启动…" << QStringList{"disable", "--json"};
        QTest::newRow("uninstall") << "uninstall" << "正在移除打印服务…" << QStringList{"uninstall", "--json"};
        QTest::newRow("install") << "install" << "正在启用打印服务…"
                                 << QStringList{"install", "--binary", "<server>", "--autostart", "--json"};
    }

    void commandsRunWithTheirExactArguments()
    {
        QFETCH(QString, operation);
        QFETCH(QString, message);
        QFETCH(QStringList, arguments);
        InstallerFixture installer;
        installer.setStatus(runningStatus());
        // An executable print service outside the bundle, with a space in its path.
        QTemporaryDir payload;
        const QString server = payload.filePath(QStringLiteral("edge server"));
        QFile::copy(installer.scriptPath(), server);
        QFile::setPermissions(server, QFile::ReadOwner | QFile::ExeOwner);
        qputenv("QUILLO_MANAGER_EDGE_BINARY", QFile::encodeName(server));
        arguments.replaceInStrings(QStringLiteral("<server>"), server);

        auto controller = makeController();
        if (operation == QLatin1String("enable") || operation == QLatin1String("disable"))
            controller->setAutoStart(operation == QLatin1String("enable"));
        else
            QVERIFY(QMetaObject::invokeMethod(controller.get(), operation.toUtf8().constData(), Qt::DirectConnection));
        qunsetenv("QUILLO_MANAGER_EDGE_BINARY");
        QVERIFY(controller->isBusy());
        QCOMPARE(controller->activityMessage(), message);
        waitUntilIdle(*controller);
        QCOMPARE(installer.calls(), (QList<QStringList>{arguments, {"status", "--json"}}));
        QCOMPARE(controller->errorMessage(), std::nullopt);
    }

    void installRequiresAnExecutablePrintService_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("whileBusy");
        QTest::newRow("missing") << false << false;
        QTest::newRow("not executable") << true << false;
        QTest::newRow("missing, while busy") << false << true;
    }

    void installRequiresAnExecutablePrintService()
    {
        QFETCH(bool, exists);
        QFETCH(bool, whileBusy);
        InstallerFixture installer;
        installer.setStatus(runningStatus());
        installer.setFile(QStringLiteral("start"), QStringLiteral("sleep"), "0.5");
        QTemporaryDir payload;
        const QString server = payload.filePath(QStringLiteral("quillo-edge-server"));
        if (exists) {
            QFile::copy(installer.scriptPath(), server);
            QFile::setPermissions(server, QFile::ReadOwner | QFile::WriteOwner);
        }
        qputenv("QUILLO_MANAGER_EDGE_BINARY", QFile::encodeName(server));
        auto controller = makeController();
        if (whileBusy)
            controller->start();
        const Snapshot before = snapshot(*controller);
        controller->install();
        qunsetenv("QUILLO_MANAGER_EDGE_BINARY");
        QCOMPARE(controller->errorMessage(), QStringLiteral("App 内缺少打印服务，请重新下载安装包"));
        QCOMPARE(controller->isBusy(), before.busy);
        QCOMPARE(controller->activityMessage(), before.message);
        QCOMPARE(controller->activityProgress(), before.progress);
        waitUntilIdle(*controller);
        QCOMPARE(installer.callCount(QStringLiteral("install")), 0);
    }

    void commandPublishesEachPhase()
    {
        InstallerFixture installer;
        const ServiceStatus after = runningStatus();
        installer.setStatus(after);
        installer.setFile(QStringLiteral("start"), QStringLiteral("stdout"),
                          "starting up\n" + eventLine(10, QStringLiteral("准备")) + eventLine(60, QStringLiteral("启动"))
                              + eventLine(100, QStringLiteral("已启动")));
        auto controller = makeController();
        controller->setErrorMessage(QStringLiteral("old"));
        QList<Snapshot> atStatus;
        QList<Snapshot> atProgress;
        connect(controller.get(), &ServiceController::statusChanged, this,
                [&] { atStatus.append(snapshot(*controller)); });
        connect(controller.get(), &ServiceController::activityProgressChanged, this,
                [&] { atProgress.append(snapshot(*controller)); });

        controller->start();
        const Snapshot accepted = snapshot(*controller);
        QVERIFY(accepted.busy);
        QCOMPARE(accepted.message, QStringLiteral("正在启动打印服务…"));
        QCOMPARE(accepted.progress, std::nullopt);
        QCOMPARE(accepted.error, std::nullopt);
        QCOMPARE(accepted.status, ServiceStatus::unavailable());

        waitUntilIdle(*controller);
        // Progress events: accepted (none), events applied (1.0), ended (none).
        QCOMPARE(atProgress.size(), 3);
        const Snapshot &applied = atProgress[1];
        QVERIFY(applied.busy);
        QCOMPARE(applied.message, QStringLiteral("已启动"));
        QCOMPARE(applied.progress, std::optional<double>(1.0));
        QCOMPARE(applied.status, ServiceStatus::unavailable());

        QCOMPARE(atStatus.size(), 1);
        QVERIFY(atStatus[0].busy);
        QCOMPARE(atStatus[0].progress, std::optional<double>(1.0));
        QCOMPARE(atStatus[0].status, after);

        QCOMPARE(controller->isBusy(), false);
        QCOMPARE(controller->activityMessage(), QStringLiteral("已启动"));
        QCOMPARE(controller->activityProgress(), std::nullopt);
        QCOMPARE(controller->errorMessage(), std::nullopt);
    }

    void commandFailuresEndTheCommand_data()
    {
        QTest::addColumn<QString>("failingCommand");
        QTest::addColumn<QByteArray>("startOutput");
        QTest::addColumn<QByteArray>("failingStderr");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("statusRead");
        QTest::newRow("script fails after an event")
            << "start" << eventLine(40, QStringLiteral("端口被占用")) << QByteArray("ignored\n") << "端口被占用"
            << "正在启动打印服务…" << false;
        QTest::newRow("script fails with a message on standard error")
            << "start" << QByteArray("no events\n") << QByteArray("  磁盘已满\n") << "磁盘已满" << "正在启动打印服务…"
            << false;
        QTest::newRow("status read fails after the command")
            << "status" << eventLine(100, QStringLiteral("已启动")) << QByteArray() << "服务命令执行失败（1）"
            << "已启动" << true;
    }

    void commandFailuresEndTheCommand()
    {
        QFETCH(QString, failingCommand);
        QFETCH(QByteArray, startOutput);
        QFETCH(QByteArray, failingStderr);
        InstallerFixture installer;
        installer.setStatus(runningStatus(QStringLiteral("9.9.9")));
        installer.setFile(QStringLiteral("start"), QStringLiteral("stdout"), startOutput);
        installer.setFile(failingCommand, QStringLiteral("stderr"), failingStderr);
        installer.setFile(failingCommand, QStringLiteral("exit"), "1");

        auto controller = makeController();
        std::optional<bool> outcome;
        controller->perform(QStringLiteral("start"), {}, QStringLiteral("正在启动打印服务…"), std::nullopt,
                            std::nullopt, [&](bool succeeded) { outcome = succeeded; });
        QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 10000);
        QCOMPARE(*outcome, false);
        QVERIFY(!controller->isBusy());
        QTEST(*controller->errorMessage(), "error");
        QTEST(controller->activityMessage(), "message");
        QCOMPARE(controller->activityProgress(), std::nullopt);
        QCOMPARE(controller->status(), ServiceStatus::unavailable());
        QTEST(installer.callCount(QStringLiteral("status")) == 1, "statusRead");
    }

    void commandReportsAMissingInstaller()
    {
        auto controller = makeController();
        qputenv("QUILLO_MANAGER_INSTALLER", "/nowhere/install.sh");
        controller->stop();
        qunsetenv("QUILLO_MANAGER_INSTALLER");
        waitUntilIdle(*controller);
        QCOMPARE(controller->errorMessage(), QStringLiteral("安装器资源不存在：/nowhere/install.sh"));
    }

    void upgradeConfirmsTheReportedVersion_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::addColumn<QString>("reported");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<std::optional<QString>>("error");
        QTest::addColumn<std::optional<QString>>("updateMessage");
        const std::optional<QString> none;
        QTest::newRow("matching version") << "upgrade" << std::optional<QString>("2.1.0") << "2.1.0" << true << none
                                          << std::optional<QString>("打印服务已更新到 2.1.0");
        QTest::newRow("older version") << "upgrade" << std::optional<QString>("2.1.0") << "2.0.1" << false
                                       << std::optional<QString>("打印服务更新未完成：目标版本为 2.1.0，当前仍为 2.0.1")
                                       << none;
        QTest::newRow("no version") << "upgrade" << std::optional<QString>("2.1.0") << "" << false
                                    << std::optional<QString>("打印服务更新未完成：目标版本为 2.1.0，当前仍为 未知")
                                    << none;
        QTest::newRow("same version, other text")
            << "upgrade" << std::optional<QString>("2.1.0") << "02.1.0" << false
            << std::optional<QString>("打印服务更新未完成：目标版本为 2.1.0，当前仍为 02.1.0") << none;
        QTest::newRow("nothing expected") << "upgrade" << none << "7.0.0" << true << none
                                          << std::optional<QString>("打印服务已更新到 7.0.0");
        QTest::newRow("other letter case") << "Upgrade" << std::optional<QString>("2.1.0") << "2.0.1" << true << none
                                           << none;
    }

    void upgradeConfirmsTheReportedVersion()
    {
        QFETCH(QString, command);
        QFETCH(std::optional<QString>, expected);
        QFETCH(QString, reported);
        InstallerFixture installer;
        installer.setStatus(runningStatus(reported));
        auto controller = makeController();
        std::optional<bool> outcome;
        controller->perform(command, {QStringLiteral("--version"), QStringLiteral("2.1.0")},
                            QStringLiteral("正在更新打印服务…"), std::nullopt, expected,
                            [&](bool succeeded) { outcome = succeeded; });
        QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 10000);
        QTEST(*outcome, "succeeds");
        QTEST(controller->errorMessage(), "error");
        QTEST(controller->updateMessage(), "updateMessage");
        QCOMPARE(controller->status().version, reported); // published even on a mismatch
        QCOMPARE(installer.calls().value(0),
                 (QStringList{command, QStringLiteral("--version"), QStringLiteral("2.1.0"), QStringLiteral("--json")}));
    }

    void opensServiceLocationsInTheDesktop()
    {
        OpenedUrls opened;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &opened, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
        InstallerFixture installer;
        auto controller = makeController();

        // Before any status: the default page, and no folders.
        controller->openDashboardInBrowser();
        controller->openLogs();
        controller->openDataDirectory();
        QCOMPARE(opened.urls, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:6176"))});

        ServiceStatus status = runningStatus();
        status.url = QString();
        installer.setStatus(status);
        refreshAndWait(*controller);
        opened.urls.clear();
        controller->openDashboardInBrowser();
        controller->openLogs();
        controller->openDataDirectory();
        QCOMPARE(opened.urls, (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/srv/edge/logs")),
                                           QUrl::fromLocalFile(QStringLiteral("/srv/edge/data"))}));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    }

    void viewsReadStatusFieldByField()
    {
        InstallerFixture installer;
        installer.setStatus(runningStatus(QStringLiteral("2.0.1")));
        auto controller = makeController();
        QJSEngine engine;
        engine.globalObject().setProperty(QStringLiteral("controller"), engine.newQObject(controller.get()));
        QJSEngine::setObjectOwnership(controller.get(), QJSEngine::CppOwnership);
        QCOMPARE(engine.evaluate(QStringLiteral("controller.status.port")).toInt(), 6176);
        QCOMPARE(engine.evaluate(QStringLiteral("controller.errorMessage === null")).toBool(), true);
        refreshAndWait(*controller);
        QCOMPARE(engine.evaluate(QStringLiteral("controller.status.version")).toString(), QStringLiteral("2.0.1"));
        QCOMPARE(engine.evaluate(QStringLiteral("controller.status.healthy")).toBool(), true);
        QCOMPARE(engine.evaluate(QStringLiteral("controller.activityProgress === null")).toBool(), true);
        // The main window dismisses an error by clearing it.
        controller->setErrorMessage(QStringLiteral("x"));
        engine.evaluate(QStringLiteral("controller.errorMessage = null"));
        QCOMPARE(controller->errorMessage(), std::nullopt);
    }

    void pollingRefreshesUntilStopped()
    {
        InstallerFixture installer;
        installer.setStatus(runningStatus());
        auto controller = makeController();
        QElapsedTimer clock;
        clock.start();
        controller->startPolling();
        QCOMPARE(controller->activityMessage(), readingStatus);
        QTRY_VERIFY_WITH_TIMEOUT(installer.callCount(QStringLiteral("status")) >= 3, 10000);
        QVERIFY(clock.elapsed() >= 2 * 300);
        controller->stopPolling();
        // The wait cut short ends in one last silent refresh, then nothing more.
        QTRY_COMPARE_WITH_TIMEOUT(installer.callCount(QStringLiteral("status")), 4, 10000);
        QTest::qWait(700);
        QCOMPARE(installer.callCount(QStringLiteral("status")), 4);
    }
};

QUILLO_CONTROLLER_TEST_MAIN(ServiceControllerTest)
#include "tst_controller_service.moc"
