#include "ControllerTestSupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

namespace {

using Build = std::optional<qint64>;
const QString dmgPath = QStringLiteral("/downloads/Quillo-Edge-1.5.0-macOS-x86_64.dmg");
const QByteArray dmgBytes = QByteArray("a disk image, as far as this test is concerned\n").repeated(64);
const QString found = QStringLiteral("发现可用更新");
const QString latest = QStringLiteral("当前已是最新版本");

} // namespace

class UpdateControllerTest : public QObject
{
    Q_OBJECT

private:
    ControllerHarness harness_;

    QByteArray manifest(const QString &component, const QString &version, Build build, bool withDiskImage = true)
    {
        QJsonArray artifacts{QJsonObject{{"name", "Quillo-Edge-macOS-arm64.dmg"},
                                         {"size", 10},
                                         {"sha256", QString(64, QLatin1Char('a'))},
                                         {"url", harness_.feed().url(QStringLiteral("/arm64.dmg")).toString()}}};
        if (withDiskImage)
            artifacts.append(QJsonObject{
                {"name", "Quillo-Edge-1.5.0-macOS-x86_64.DMG"},
                {"size", dmgBytes.size()},
                {"sha256", QString::fromLatin1(QCryptographicHash::hash(dmgBytes, QCryptographicHash::Sha256).toHex())},
                {"url", harness_.feed().url(dmgPath).toString()}});
        QJsonObject object{{"schemaVersion", 1},         {"component", component}, {"version", version},
                           {"releasedAt", "2025-01-31T08:00:00Z"}, {"artifacts", artifacts}};
        if (build)
            object.insert("buildNumber", *build);
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    }

    void serve(const QString &manager, Build managerBuild, const QString &server, Build serverBuild = {},
               bool withDiskImage = true)
    {
        harness_.feed().route(ControllerHarness::managerPath,
                              ScriptedResponse::ok(manifest("macos", manager, managerBuild, withDiskImage)));
        harness_.feed().route(ControllerHarness::serverPath,
                              ScriptedResponse::ok(manifest("edge-server", server, serverBuild)));
    }

    QStringList workFolders() const
    {
        return QDir(harness_.cachesPath() + QStringLiteral("/Quillo Updates"))
            .entryList({QStringLiteral("manager-*")}, QDir::Dirs);
    }

    // A controller whose first refresh read status and ran its automatic check.
    std::unique_ptr<ServiceController> checked(InstallerFixture &installer, const ServiceStatus &status,
                                               const QString &bundle = {})
    {
        installer.setStatus(status);
        auto controller = harness_.make(bundle);
        return refreshAndWait(*controller) ? std::move(controller) : nullptr;
    }

private slots:
    void initTestCase() { QVERIFY2(harness_.error().isEmpty(), qPrintable(harness_.error())); }

    void init()
    {
        harness_.quitCalls = 0;
        // A handed-over update leaves its work folder to the updater.
        QDir(harness_.cachesPath() + QStringLiteral("/Quillo Updates")).removeRecursively();
        harness_.feed().route(dmgPath, ScriptedResponse::ok(dmgBytes));
        serve(QStringLiteral("1.4.0"), 27, QStringLiteral("2.0.1"));
    }

    // Against a manager 1.4.0 (27) and a print service 2.0.1, managed unless told otherwise.
    void checkPublishesNewerReleases_data()
    {
        QTest::addColumn<QString>("manager");
        QTest::addColumn<Build>("managerBuild");
        QTest::addColumn<Build>("serverBuild"); // of a print service release 2.0.1
        QTest::addColumn<QString>("service");   // "", "unmanaged", "not installed", "no version"
        QTest::addColumn<QString>("managerDetail");
        QTest::addColumn<QString>("serverDetail");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<bool>("canUpdate");
        const Build none;
        const QString both = QStringLiteral("将一并更新管理应用和打印服务，随后自动重新打开");
        const QString managerOnly = QStringLiteral("将更新管理应用并自动重新打开");
        const QString serviceOnly = QStringLiteral("将更新打印服务，完成后自动恢复运行");
        QTest::newRow("manager rebuilt") << "1.4.0" << Build(28) << none << "" << "1.4.0 (27) → 1.4.0 (28)"
                                         << "2.0.1" << managerOnly << true;
        QTest::newRow("manager same version, no build") << "1.4.0" << none << none << "" << "1.4.0 (27)" << "2.0.1"
                                                        << latest << false;
        QTest::newRow("manager newer by minor") << "1.10.0" << Build(1) << none << "" << "1.4.0 (27) → 1.10.0 (1)"
                                                << "2.0.1" << managerOnly << true;
        QTest::newRow("service rebuilt") << "1.4.0" << none << Build(3) << "" << "1.4.0 (27)" << "2.0.1 → 2.0.1 (3)"
                                         << serviceOnly << true;
        QTest::newRow("service same version, build 0") << "1.4.0" << none << Build(0) << "" << "1.4.0 (27)"
                                                       << "2.0.1" << latest << false;
        QTest::newRow("service not installed") << "1.4.0" << none << Build(3) << "not installed" << "1.4.0 (27)"
                                               << "2.0.1" << latest << false;
        QTest::newRow("service without version") << "1.4.0" << none << Build(3) << "no version" << "1.4.0 (27)"
                                                 << "未启用" << latest << false;
        QTest::newRow("both") << "1.5.0" << Build(30) << Build(3) << "" << "1.4.0 (27) → 1.5.0 (30)"
                              << "2.0.1 → 2.0.1 (3)" << both << true;
        QTest::newRow("both, service needs adoption") << "1.5.0" << Build(30) << Build(3) << "unmanaged"
                                                      << "1.4.0 (27) → 1.5.0 (30)" << "2.0.1 → 2.0.1 (3)"
                                                      << "迁移现有安装后即可完成更新" << false;
        QTest::newRow("manager only, service unmanaged") << "1.5.0" << Build(30) << none << "unmanaged"
                                                         << "1.4.0 (27) → 1.5.0 (30)" << "2.0.1" << managerOnly
                                                         << true;
    }

    void checkPublishesNewerReleases()
    {
        QFETCH(QString, manager);
        QFETCH(Build, managerBuild);
        QFETCH(Build, serverBuild);
        QFETCH(QString, service);
        serve(manager, managerBuild, QStringLiteral("2.0.1"), serverBuild);
        InstallerFixture installer;
        ServiceStatus status = runningStatus(service == QLatin1String("no version") ? QString() : "2.0.1");
        status.installed = service != QLatin1String("not installed");
        status.managed = service != QLatin1String("unmanaged");
        auto controller = checked(installer, status);
        QVERIFY(controller);
        QTEST(controller->managerVersionDetail(), "managerDetail");
        QTEST(controller->serverVersionDetail(), "serverDetail");
        QTEST(controller->softwareUpdateSummary(), "summary");
        QTEST(controller->canUpdateSoftware(), "canUpdate");
        // Also from the silent check.
        QCOMPARE(*controller->updateMessage(), controller->hasAvailableUpdates() ? found : latest);
        if (controller->managerUpdate())
            QCOMPARE(controller->managerUpdate()->artifact->url, harness_.feed().url(dmgPath));
        // Never while a command runs.
        installer.set(QStringLiteral("start"), QStringLiteral("sleep"), "0.3");
        controller->start();
        QCOMPARE(controller->canUpdateSoftware(), false);
        QVERIFY(waitUntilIdle(*controller));
    }

    void failedCheckKeepsEarlierResults_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("answer"); // a status code, or the component served
        QTest::addColumn<QString>("message");
        QTest::newRow("manager manifest missing") << ControllerHarness::managerPath << QByteArray("404")
                                                  << "下载安装包失败（404）";
        QTest::newRow("service manifest failing") << ControllerHarness::serverPath << QByteArray("500")
                                                  << "下载安装包失败（500）";
        QTest::newRow("manager feed names the service")
            << ControllerHarness::managerPath << QByteArray("edge-server") << "发布清单组件不匹配：edge-server";
        QTest::newRow("service feed names the manager")
            << ControllerHarness::serverPath << QByteArray("macos") << "发布清单组件不匹配：macos";
    }

    void failedCheckKeepsEarlierResults()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, answer);
        serve(QStringLiteral("1.5.0"), 30, QStringLiteral("2.1.0"));
        InstallerFixture installer;
        auto controller = checked(installer, runningStatus());
        QVERIFY(controller && controller->managerUpdate() && controller->serverUpdate());
        const auto managerUpdate = controller->managerUpdate();
        const auto serverUpdate = controller->serverUpdate();
        // A well-formed, newer manifest of the wrong component must not be applied either.
        harness_.feed().route(path, answer.toInt() ? ScriptedResponse::withStatus(answer.toInt())
                                                   : ScriptedResponse::ok(manifest(answer, "9.0.0", 1)));
        const int managerRequests = harness_.requestCount(ControllerHarness::managerPath);
        const int serverRequests = harness_.requestCount(ControllerHarness::serverPath);
        QSignalSpy checking(controller.get(), &ServiceController::isCheckingUpdatesChanged);
        controller->checkForUpdates();
        controller->checkForUpdates(); // ignored while the first runs
        QCOMPARE(controller->updateMessage(), QStringLiteral("正在检查新版本…"));
        QTRY_COMPARE_WITH_TIMEOUT(checking.count(), 2, 15000);
        QTest::qWait(200);
        // One check only; a failed manager fetch may abandon the other before it is sent.
        QCOMPARE(harness_.requestCount(ControllerHarness::managerPath), managerRequests + 1);
        QVERIFY(harness_.requestCount(ControllerHarness::serverPath) <= serverRequests + 1);
        QTEST(*controller->updateMessage(), "message");
        QCOMPARE(controller->managerUpdate(), managerUpdate);
        QCOMPARE(controller->serverUpdate(), serverUpdate);
        QCOMPARE(controller->errorMessage(), std::nullopt);
    }

    // A failed manager fetch abandons the print service fetch instead of waiting out its time-out.
    void failedFetchAbandonsTheOther()
    {
        QTcpServer silent; // never answers the TLS handshake
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        harness_.feed().route(ControllerHarness::managerPath, ScriptedResponse::withStatus(404));
        harness_.serverManifestOverride = QUrl(QStringLiteral("https://127.0.0.1:%1/edge.json").arg(silent.serverPort()));
        auto controller = harness_.make();
        harness_.serverManifestOverride = QUrl();
        QSignalSpy checking(controller.get(), &ServiceController::isCheckingUpdatesChanged);
        controller->checkForUpdates();
        QTRY_COMPARE_WITH_TIMEOUT(checking.count(), 2, 10000);
        QCOMPARE(controller->updateMessage(), QStringLiteral("下载安装包失败（404）"));
    }

    void refreshChecksAtMostEverySixHours_data()
    {
        QTest::addColumn<qint64>("elapsed");
        QTest::addColumn<bool>("statusFails");
        QTest::addColumn<bool>("checks");
        QTest::newRow("21599 s") << qint64(21599) << false << false;
        QTest::newRow("21600 s") << qint64(21600) << false << true;
        QTest::newRow("clock set back") << qint64(-100) << false << false;
        QTest::newRow("due, but the status read fails") << qint64(30000) << true << false;
    }

    void refreshChecksAtMostEverySixHours()
    {
        QFETCH(qint64, elapsed);
        QFETCH(bool, statusFails);
        QFETCH(bool, checks);
        InstallerFixture installer;
        auto controller = checked(installer, runningStatus());
        QVERIFY(controller);
        const int checksBefore = harness_.requestCount(ControllerHarness::managerPath);
        harness_.now = harness_.now.addSecs(elapsed);
        if (statusFails)
            installer.set(QStringLiteral("status"), QStringLiteral("exit"), "1");
        QSignalSpy checking(controller.get(), &ServiceController::isCheckingUpdatesChanged);
        QSignalSpy errors(controller.get(), &ServiceController::errorMessageChanged);
        controller->refresh();
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 10000); // set on failure, cleared on success
        QTRY_COMPARE_WITH_TIMEOUT(checking.count(), checks ? 2 : 0, 15000);
        QTest::qWait(300);
        QCOMPARE(harness_.requestCount(ControllerHarness::managerPath), checksBefore + (checks ? 1 : 0));
    }

    // updateAvailableSoftware(): the print service first, the manager only after its success.
    void combinedUpdateRunsTheServiceFirst_data()
    {
        QTest::addColumn<QString>("manager");
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("managed");
        QTest::addColumn<bool>("upgradeFails");
        QTest::addColumn<QString>("reported");
        QTest::addColumn<bool>("managerStarted");
        QTest::addColumn<QString>("updateMessage");
        QTest::addColumn<QString>("error");
        const QString mismatch = QStringLiteral("打印服务更新未完成：目标版本为 2.1.0，当前仍为 2.0.1");
        QTest::newRow("service then manager") << "1.5.0" << "2.1.0" << true << false << "2.1.0" << true
                                              << "更新已准备，正在重新打开 Quillo Edge…" << "";
        QTest::newRow("service fails") << "1.5.0" << "2.1.0" << true << true << "2.1.0" << false << found
                                       << "服务命令执行失败（1）";
        QTest::newRow("service reports another version")
            << "1.5.0" << "2.1.0" << true << false << "2.0.1" << false << found << mismatch;
        QTest::newRow("service only") << "1.3.0" << "2.1.0" << true << false << "2.1.0" << false
                                      << "Quillo Edge 已更新到最新版本" << "";
        QTest::newRow("service needs adoption") << "1.5.0" << "2.1.0" << false << false << "2.1.0" << false << found
                                                << "请先迁移现有安装，再更新 Quillo Edge";
        QTest::newRow("nothing to update") << "1.3.0" << "2.0.1" << true << false << "2.1.0" << false << latest << "";
    }

    void combinedUpdateRunsTheServiceFirst()
    {
        QFETCH(QString, manager);
        QFETCH(QString, server);
        QFETCH(bool, managed);
        QFETCH(bool, upgradeFails);
        QFETCH(QString, reported);
        QFETCH(bool, managerStarted);
        serve(manager, 30, server);
        InstallerFixture installer;
        UpdaterFixture updater;
        ServiceStatus before = runningStatus();
        before.managed = managed;
        auto controller = checked(installer, before);
        QVERIFY(controller);
        const bool serviceOffered = controller->serverUpdate().has_value();
        controller->setErrorMessage(std::nullopt); // as if dismissed

        installer.setStatus(runningStatus(reported));
        if (upgradeFails)
            installer.set(QStringLiteral("upgrade"), QStringLiteral("exit"), "1");
        int upgradesAtManagerStart = -1;
        connect(controller.get(), &ServiceController::isInstallingManagerUpdateChanged, this,
                [&] { upgradesAtManagerStart = installer.callCount(QStringLiteral("upgrade")); });
        harness_.clock.start();
        controller->updateAvailableSoftware();
        const bool upgrades = serviceOffered && managed;
        QCOMPARE(controller->isInstallingServerUpdate(), upgrades);
        QTRY_VERIFY_WITH_TIMEOUT(!controller->isInstallingServerUpdate() && !controller->isBusy(), 10000);
        if (managerStarted)
            QTRY_COMPARE_WITH_TIMEOUT(harness_.quitCalls, 1, 15000);
        QTest::qWait(300);
        QCOMPARE(upgradesAtManagerStart, managerStarted ? 1 : -1);
        const QList<QStringList> upgradeCall{{"upgrade", "--version", "2.1.0", "--json"}};
        QCOMPARE(installer.calls().mid(1, 1), upgrades ? upgradeCall : QList<QStringList>());
        QTEST(controller->updateMessage().value_or(QString()), "updateMessage");
        QTEST(controller->errorMessage().value_or(QString()), "error");
    }

    void managerUpdateGuardsInOrder_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("updateMessage");
        QTest::addColumn<QString>("error");
        QTest::newRow("no disk image for this Mac") << "noDiskImage" << "没有适合这台 Mac 的安装包" << "";
        QTest::newRow("no build number") << "noBuild" << "发布信息中缺少构建号" << "";
        QTest::newRow("busy") << "busy" << found << "";
        QTest::newRow("outside Applications, updater missing too")
            << "downloads" << found << "请先将 Quillo Edge 移到“应用程序”文件夹，再使用自动更新";
        QTest::newRow("updater missing") << "noUpdater" << found << "App 内缺少更新助手，请重新下载安装包";
        QTest::newRow("updater not executable") << "notExecutable" << found << "App 内缺少更新助手，请重新下载安装包";
        QTest::newRow("not writable, updater missing too")
            << "notWritable, noUpdater" << found << "App 内缺少更新助手，请重新下载安装包";
        QTest::newRow("not writable") << "notWritable" << found
                                      << "没有权限更新当前 App，请确认当前用户可以写入“应用程序”文件夹";
    }

    void managerUpdateGuardsInOrder()
    {
        QFETCH(QString, scenario);
        QString bundle;
        if (scenario == QLatin1String("downloads"))
            bundle = makeManagerBundle(harness_.home() + QStringLiteral("/Downloads"));
        if (scenario.startsWith(QLatin1String("notWritable"))) {
            // Nothing can be written into a folder that is not there, not even by root.
            if (QFileInfo::exists(QStringLiteral("/Applications")))
                QSKIP("this machine has an /Applications folder");
            bundle = QStringLiteral("/Applications/Quillo Edge.app");
        }
        serve(QStringLiteral("1.5.0"), scenario == QLatin1String("noBuild") ? Build() : Build(30),
              QStringLiteral("2.0.1"), {}, scenario != QLatin1String("noDiskImage"));
        InstallerFixture installer;
        std::optional<UpdaterFixture> updater;
        if (!scenario.endsWith(QLatin1String("noUpdater")) && scenario != QLatin1String("downloads"))
            updater.emplace();
        if (scenario == QLatin1String("notExecutable"))
            QFile::setPermissions(updater->path(), QFile::ReadOwner | QFile::WriteOwner);
        auto controller = checked(installer, runningStatus(), bundle);
        QVERIFY(controller && controller->managerUpdate());
        if (scenario == QLatin1String("busy")) {
            installer.set(QStringLiteral("stop"), QStringLiteral("sleep"), "0.5");
            controller->stop();
        }
        const int downloads = harness_.requestCount(dmgPath);
        QSignalSpy flag(controller.get(), &ServiceController::isInstallingManagerUpdateChanged);
        controller->updateManager();
        QTEST(controller->updateMessage().value_or(QString()), "updateMessage");
        QTEST(controller->errorMessage().value_or(QString()), "error");
        QVERIFY(waitUntilIdle(*controller));
        QTest::qWait(200);
        QCOMPARE(flag.count(), 0);
        QCOMPARE(harness_.requestCount(dmgPath), downloads);
        QVERIFY(controller->managerUpdate());
    }

    void failedPreparationCleansUp_data()
    {
        QTest::addColumn<QByteArray>("errorOutput");
        QTest::addColumn<QString>("ending"); // how prepare ends: exit, kill, or a short download
        QTest::addColumn<QString>("message");
        QTest::newRow("updater explains") << QByteArray("App 安全校验失败：签名无效\n") << "exit"
                                          << "App 安全校验失败：签名无效";
        QTest::newRow("updater silent") << QByteArray() << "exit" << "更新助手执行失败";
        QTest::newRow("updater writes only blanks") << QByteArray(" \n\t\n") << "exit" << "更新助手执行失败";
        // A crash is never taken for success, whatever exit code it leaves.
        QTest::newRow("updater killed") << QByteArray() << "kill" << "更新助手执行失败";
        QTest::newRow("download one byte short") << QByteArray() << "short" << "安装包大小校验失败，请重新下载";
    }

    void failedPreparationCleansUp()
    {
        QFETCH(QByteArray, errorOutput);
        QFETCH(QString, ending);
        serve(QStringLiteral("1.5.0"), 30, QStringLiteral("2.0.1"));
        if (ending == QLatin1String("short"))
            harness_.feed().route(dmgPath, ScriptedResponse::ok(dmgBytes.chopped(1)));
        InstallerFixture installer;
        UpdaterFixture updater;
        updater.set(QStringLiteral("prepare.stderr"), errorOutput);
        updater.set(ending == QLatin1String("kill") ? QStringLiteral("prepare.kill") : QStringLiteral("prepare.exit"),
                    "1");
        auto controller = checked(installer, runningStatus());
        QVERIFY(controller);
        const auto release = controller->managerUpdate();
        controller->setErrorMessage(QStringLiteral("earlier"));

        QSignalSpy flag(controller.get(), &ServiceController::isInstallingManagerUpdateChanged);
        controller->updateAvailableSoftware();
        QVERIFY(controller->isInstallingManagerUpdate());
        QCOMPARE(controller->updateMessage(), QStringLiteral("正在下载并校验管理应用…"));
        QCOMPARE(controller->errorMessage(), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(flag.count(), 2, 15000);
        QTEST(*controller->updateMessage(), "message");
        QCOMPARE(controller->errorMessage(), std::nullopt);
        QCOMPARE(controller->managerUpdate(), release);
        QCOMPARE(workFolders(), QStringList());
        QCOMPARE(updater.has(QStringLiteral("prepare.args")), ending != QLatin1String("short"));
        QVERIFY(!updater.has(QStringLiteral("install.args")));
        QCOMPARE(harness_.quitCalls, 0);
    }

    void successfulPreparationHandsOverAndQuits()
    {
        serve(QStringLiteral("1.5.0"), 30, QStringLiteral("2.0.1"));
        InstallerFixture installer;
        UpdaterFixture updater;
        // The running bundle's path is handed over in standardised form.
        auto controller = checked(installer, runningStatus(), harness_.home() + "/Applications/./Quillo Edge.app");
        QVERIFY(controller && controller->managerUpdate());
        qint64 handedOverAt = -1;
        QStringList messages;
        connect(controller.get(), &ServiceController::updateMessageChanged, this,
                [&] { messages.append(controller->updateMessage().value_or(QString())); });
        connect(controller.get(), &ServiceController::managerUpdateChanged, this,
                [&] { handedOverAt = harness_.clock.elapsed(); });
        harness_.clock.start();
        controller->updateAvailableSoftware();
        QTRY_COMPARE_WITH_TIMEOUT(harness_.quitCalls, 1, 15000);

        QCOMPARE(messages, (QStringList{"正在下载并校验管理应用…", "正在验证签名并准备更新…",
                                        "更新已准备，正在重新打开 Quillo Edge…"}));
        const qint64 pause = harness_.quitAt - handedOverAt;
        QVERIFY2(pause >= 240 && pause < 2000, qPrintable(QString::number(pause)));
        QCOMPARE(controller->managerUpdate(), std::nullopt);
        QCOMPARE(controller->isInstallingManagerUpdate(), true);

        const QStringList folders = workFolders();
        QCOMPARE(folders.size(), 1);
        QVERIFY(QRegularExpression(QStringLiteral("^manager-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"))
                    .match(folders[0])
                    .hasMatch());
        const QString work = harness_.cachesPath() + QStringLiteral("/Quillo Updates/") + folders[0];
        const QString staged = work + QStringLiteral("/Staged/Quillo Edge.app");
        const QString copy = work + QStringLiteral("/QuilloEdgeUpdater");
        QCOMPARE(updater.lines(QStringLiteral("prepare.args")),
                 (QStringList{"prepare", "--dmg", work + "/Quillo-Edge-1.5.0-macOS-x86_64.DMG", "--staged-app", staged,
                              "--version", "1.5.0", "--build", "30"}));
        QCOMPARE(updater.lines(QStringLiteral("prepare.self")), QStringList{copy});
        QCOMPARE(updater.lines(QStringLiteral("prepare.modes")), (QStringList{"700", "700"}));
        QTRY_VERIFY_WITH_TIMEOUT(updater.has(QStringLiteral("install.args")), 10000);
        QCOMPARE(updater.lines(QStringLiteral("install.args")),
                 (QStringList{"install", "--staged-app", staged, "--target-app", harness_.bundlePath(), "--work-dir",
                              work, "--version", "1.5.0", "--build", "30", "--parent-pid",
                              QString::number(QCoreApplication::applicationPid())}));
        QCOMPARE(updater.lines(QStringLiteral("install.self")), QStringList{copy});
        QDir(work).removeRecursively();
    }
};

QUILLO_CONTROLLER_TEST_MAIN(UpdateControllerTest)
#include "tst_controller_updates.moc"
