#include "ControllerTestSupport.h"

#include "FakeBundle.h"
#include "OpenedUrls.h"

#include <QDesktopServices>
#include <QJSEngine>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString readingStatus = QStringLiteral("正在读取服务状态…");
const QString starting = QStringLiteral("正在启动打印服务…");

} // namespace

class ServiceControllerTest : public QObject
{
    Q_OBJECT

private:
    ControllerHarness harness_;

private slots:
    void initTestCase() { QVERIFY2(harness_.error().isEmpty(), qPrintable(harness_.error())); }

    // As the views see it: absent values are null; nothing runs until asked.
    void startsIdleAndStartsNoWork()
    {
        InstallerFixture installer;
        auto controller = harness_.make();
        QJSEngine engine;
        engine.globalObject().setProperty(QStringLiteral("c"), engine.newQObject(controller.get()));
        QJSEngine::setObjectOwnership(controller.get(), QJSEngine::CppOwnership);
        const auto js = [&](const char *code) { return engine.evaluate(QString::fromUtf8(code)).toString(); };
        QCOMPARE(js("[c.status.installed, c.status.url, c.isBusy, c.activityMessage, c.presentationState].join()"),
                 QStringLiteral("false,http://127.0.0.1:6176,false,") + readingStatus + QStringLiteral(",0"));
        QCOMPARE(js("[c.activityProgress, c.errorMessage, c.managerUpdate, c.serverUpdate, c.updateMessage]"
                    ".every(v => v === null)"),
                 QStringLiteral("true"));
        // The main window dismisses an error by clearing it.
        controller->setErrorMessage(QStringLiteral("x"));
        js("c.errorMessage = null");
        QCOMPARE(controller->errorMessage(), std::nullopt);
        QTest::qWait(100);
        QVERIFY(installer.calls().isEmpty());
        QVERIFY(harness_.feed().requests().isEmpty());
    }

    void readsManagerVersionFromTheBundle_data()
    {
        QTest::addColumn<QVariant>("version");
        QTest::addColumn<QVariant>("build");
        QTest::addColumn<QString>("label");
        QTest::newRow("both") << QVariant("1.4.0") << QVariant("27") << "1.4.0 (27)";
        QTest::newRow("build with letters") << QVariant("1.4.0") << QVariant("12a") << "1.4.0";
        QTest::newRow("build not text") << QVariant("1.4.0") << QVariant(12) << "1.4.0";
        QTest::newRow("negative build") << QVariant("1.4.0") << QVariant("-3") << "1.4.0";
    }

    void readsManagerVersionFromTheBundle()
    {
        QFETCH(QVariant, version);
        QFETCH(QVariant, build);
        QVariantMap info;
        if (version.isValid())
            info.insert(QStringLiteral("CFBundleShortVersionString"), version);
        info.insert(QStringLiteral("CFBundleVersion"), build);
        QTemporaryDir folder;
        const QString bundle = folder.filePath(QStringLiteral("Quillo Edge.app"));
        QVERIFY(FakeBundle::write(bundle, info, FakeBundle::Format::Binary));
        auto controller = harness_.make(bundle);
        QTEST(controller->managerVersionLabel(), "label");
        QTEST(controller->managerVersionDetail(), "label");
    }

    // Each row: a failed command first leaves its own error and message; then one refresh.
    void refreshReportsAndClears_data()
    {
        QTest::addColumn<bool>("loadedBefore");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("error");
        const QString commandError = QStringLiteral("服务命令执行失败（2）");
        const QString readError = QStringLiteral("无法读取服务状态：log line");
        const QString stopping = QStringLiteral("正在停止打印服务…");
        QTest::newRow("first, fails") << false << false << false << readingStatus << readError;
        QTest::newRow("first, silent, fails") << false << true << false << stopping << readError;
        QTest::newRow("first, silent, succeeds") << false << true << true << stopping << QString();
        QTest::newRow("later, fails") << true << false << false << stopping << readError;
        QTest::newRow("later, silent, fails") << true << true << false << stopping << commandError;
        QTest::newRow("later, succeeds") << true << false << true << stopping << QString();
    }

    void refreshReportsAndClears()
    {
        QFETCH(bool, loadedBefore);
        QFETCH(bool, silent);
        QFETCH(bool, readable);
        InstallerFixture installer;
        auto controller = harness_.make();
        const ServiceStatus good = runningStatus();
        installer.setStatus(good);
        if (loadedBefore)
            QVERIFY(refreshAndWait(*controller));
        installer.set(QStringLiteral("stop"), QStringLiteral("exit"), "2");
        controller->stop();
        QVERIFY(waitUntilIdle(*controller));
        if (!readable)
            installer.set(QStringLiteral("status"), QStringLiteral("stdout"), "log line\n");

        const int reads = installer.callCount(QStringLiteral("status"));
        controller->refresh(silent);
        QTEST(controller->activityMessage(), "message");
        QTRY_COMPARE_WITH_TIMEOUT(installer.callCount(QStringLiteral("status")), reads + 1, 10000);
        QFETCH(QString, error);
        QTRY_COMPARE_WITH_TIMEOUT(controller->errorMessage().value_or(QString()), error, 10000);
        QTest::qWait(200);
        QCOMPARE(controller->errorMessage().value_or(QString()), error);
        QCOMPARE(controller->status(), readable || loadedBefore ? good : ServiceStatus::unavailable());
    }

    void busyControllerRefusesRefreshesAndCommands()
    {
        InstallerFixture installer;
        installer.setStatus(runningStatus());
        installer.set(QStringLiteral("start"), QStringLiteral("sleep"), "1");
        auto controller = harness_.make();
        controller->start();
        QSignalSpy messages(controller.get(), &ServiceController::activityMessageChanged);
        QSignalSpy errors(controller.get(), &ServiceController::errorMessageChanged);
        controller->refresh();
        controller->stop();
        std::optional<bool> refused;
        controller->perform(QStringLiteral("restart"), {}, QStringLiteral("x"), std::nullopt, std::nullopt,
                            [&](bool succeeded) { refused = succeeded; });
        QCOMPARE(refused, std::optional<bool>(false)); // before perform returned
        QCOMPARE(messages.count() + errors.count(), 0);
        QVERIFY(waitUntilIdle(*controller));
        QCOMPARE(installer.calls(), (QList<QStringList>{{"start", "--json"}, {"status", "--json"}}));
    }

    void commandsRunWithTheirExactArguments_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("start") << "start" << starting << QStringList{"start", "--json"};
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

        auto controller = harness_.make();
        controller->setErrorMessage(QStringLiteral("earlier"));
        if (operation == QLatin1String("enable") || operation == QLatin1String("disable"))
            controller->setAutoStart(operation == QLatin1String("enable"));
        else
            QVERIFY(QMetaObject::invokeMethod(controller.get(), operation.toUtf8().constData()));
        qunsetenv("QUILLO_MANAGER_EDGE_BINARY");
        // Accepted: busy, its own message, no progress, no error.
        QVERIFY(controller->isBusy() && !controller->activityProgress() && !controller->errorMessage());
        QTEST(controller->activityMessage(), "message");
        QVERIFY(waitUntilIdle(*controller));
        QCOMPARE(installer.calls(), (QList<QStringList>{arguments, {"status", "--json"}}));
    }

    void installRequiresAnExecutablePrintService_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("whileBusy");
        QTest::newRow("not executable") << true << false;
        QTest::newRow("missing, while busy") << false << true;
    }

    void installRequiresAnExecutablePrintService()
    {
        QFETCH(bool, exists);
        QFETCH(bool, whileBusy);
        InstallerFixture installer;
        installer.setStatus(runningStatus());
        installer.set(QStringLiteral("start"), QStringLiteral("sleep"), "0.5");
        QTemporaryDir payload;
        const QString server = payload.filePath(QStringLiteral("quillo-edge-server"));
        if (exists) {
            QFile::copy(installer.scriptPath(), server);
            QFile::setPermissions(server, QFile::ReadOwner);
        }
        qputenv("QUILLO_MANAGER_EDGE_BINARY", QFile::encodeName(server));
        auto controller = harness_.make();
        if (whileBusy)
            controller->start();
        controller->install();
        qunsetenv("QUILLO_MANAGER_EDGE_BINARY");
        QCOMPARE(controller->errorMessage(), QStringLiteral("App 内缺少打印服务，请重新下载安装包"));
        QCOMPARE(controller->isBusy(), whileBusy);
        QCOMPARE(controller->activityMessage(), whileBusy ? starting : readingStatus);
        QVERIFY(waitUntilIdle(*controller));
        QCOMPARE(installer.callCount(QStringLiteral("install")), 0);
    }

    // The runner's published state at each phase: after the script (events applied), at the
    // status read, and at the end; also through failures of the run, the read and the check.
    void commandPublishesEachPhase_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expected"); // empty: none
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<QString>("failing"); // the installer command that exits with 1
        QTest::addColumn<QString>("reported");
        QTest::addColumn<QString>("message");  // activityMessage at the end
        QTest::addColumn<double>("progress");  // at the status read; -1: none
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("statusPublished");
        QTest::addColumn<QString>("updateMessage");
        const QByteArray events = "starting up\n" + eventLine(10, QStringLiteral("准备"))
            + eventLine(60, QStringLiteral("启动")) + eventLine(100, QStringLiteral("已启动"));
        const QString mismatch = QStringLiteral("打印服务更新未完成：目标版本为 2.1.0，当前仍为 ");
        const QByteArray none;
        QTest::newRow("three events") << "start" << "2.1.0" << events << "" << "2.1.0" << "已启动" << 1.0 << ""
                                      << true << "";
        QTest::newRow("no events") << "start" << "2.1.0" << QByteArray("plain\n") << "" << "2.1.0" << starting
                                   << -1.0 << "" << true << "";
        QTest::newRow("script fails after an event") << "start" << "2.1.0" << eventLine(40, "端口被占用") << "start"
                                                     << "2.1.0" << starting << -1.0 << "端口被占用" << false << "";
        QTest::newRow("status read fails") << "start" << "2.1.0" << events << "status" << "2.1.0" << "已启动"
                                           << -1.0 << "服务命令执行失败（1）" << false << "";
        QTest::newRow("upgrade confirmed") << "upgrade" << "2.1.0" << none << "" << "2.1.0" << starting << -1.0
                                           << "" << true << "打印服务已更新到 2.1.0";
        QTest::newRow("upgrade to an older version") << "upgrade" << "2.1.0" << none << "" << "2.0.1" << starting
                                                     << -1.0 << mismatch + "2.0.1" << true << "";
        QTest::newRow("upgrade, no version reported") << "upgrade" << "2.1.0" << none << "" << "" << starting
                                                      << -1.0 << mismatch + "未知" << true << "";
        QTest::newRow("upgrade, same version other text") << "upgrade" << "2.1.0" << none << "" << "02.1.0"
                                                          << starting << -1.0 << mismatch + "02.1.0" << true << "";
        QTest::newRow("upgrade, nothing expected") << "upgrade" << "" << none << "" << "7.0.0" << starting << -1.0
                                                   << "" << true << "打印服务已更新到 7.0.0";
        QTest::newRow("other letter case") << "Upgrade" << "2.1.0" << none << "" << "2.0.1" << starting << -1.0
                                           << "" << true << "";
    }

    void commandPublishesEachPhase()
    {
        QFETCH(QString, command);
        QFETCH(QByteArray, output);
        QFETCH(QString, failing);
        QFETCH(QString, reported);
        QFETCH(QString, expected);
        InstallerFixture installer;
        installer.setStatus(runningStatus(reported));
        installer.set(command, QStringLiteral("stdout"), output);
        if (!failing.isEmpty())
            installer.set(failing, QStringLiteral("exit"), "1");
        auto controller = harness_.make();
        std::optional<std::pair<bool, std::optional<double>>> atRead; // busy, progress
        connect(controller.get(), &ServiceController::statusChanged, this,
                [&] { atRead.emplace(controller->isBusy(), controller->activityProgress()); });

        std::optional<bool> outcome;
        controller->perform(command, {}, starting, std::nullopt,
                            expected.isEmpty() ? std::nullopt : std::optional<QString>(expected),
                            [&](bool succeeded) { outcome = succeeded; });
        QTRY_VERIFY_WITH_TIMEOUT(outcome.has_value(), 10000);
        QFETCH(QString, error);
        QFETCH(bool, statusPublished);
        QCOMPARE(*outcome, error.isEmpty());
        QCOMPARE(controller->errorMessage().value_or(QString()), error);
        QTEST(controller->activityMessage(), "message");
        QVERIFY(!controller->isBusy() && !controller->activityProgress());
        QCOMPARE(controller->status(), statusPublished ? runningStatus(reported) : ServiceStatus::unavailable());
        if (statusPublished) {
            QFETCH(double, progress);
            QVERIFY(atRead && atRead->first);
            QCOMPARE(atRead->second, progress < 0 ? std::nullopt : std::optional<double>(progress));
        }
        QTEST(controller->updateMessage().value_or(QString()), "updateMessage");
        QCOMPARE(installer.callCount(QStringLiteral("status")), failing == command ? 0 : 1);
    }

    void opensServiceLocationsInTheDesktop()
    {
        OpenedUrls opened;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &opened, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
        InstallerFixture installer;
        auto controller = harness_.make();
        // Before any status: the default page, and no folders.
        controller->openDashboardInBrowser();
        controller->openLogs();
        controller->openDataDirectory();
        ServiceStatus status = runningStatus();
        status.url.clear();
        installer.setStatus(status);
        QVERIFY(refreshAndWait(*controller));
        controller->openDashboardInBrowser();
        controller->openLogs();
        controller->openDataDirectory();
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        // Folders are opened as folders.
        QCOMPARE(opened.urls, (QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:6176")),
                                           QUrl(QStringLiteral("file:///srv/edge/logs/")),
                                           QUrl(QStringLiteral("file:///srv/edge/data/"))}));
    }

    void pollingRefreshesUntilStopped()
    {
        InstallerFixture installer;
        installer.setStatus(runningStatus());
        auto controller = harness_.make();
        controller->startPolling();
        QTRY_VERIFY_WITH_TIMEOUT(installer.callCount(QStringLiteral("status")) >= 3, 10000);
        controller->stopPolling();
        QTest::qWait(250);
        const int reads = installer.callCount(QStringLiteral("status"));
        QTest::qWait(700);
        QCOMPARE(installer.callCount(QStringLiteral("status")), reads);
    }
};

QUILLO_CONTROLLER_TEST_MAIN(ServiceControllerTest)
#include "tst_controller_service.moc"
