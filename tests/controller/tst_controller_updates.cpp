#include "ControllerTestSupport.h"

#include "LocalHttpsServer.h"
#include "TestCertificate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString managerPath = QStringLiteral("/quillo/releases/macos/latest/manifest.json");
const QString serverPath = QStringLiteral("/quillo/releases/edge-server/latest/manifest.json");
const QString dmgPath = QStringLiteral("/downloads/Quillo-Edge-1.5.0-macOS-x86_64.dmg");
const QByteArray dmgBytes = QByteArray("a disk image, as far as this test is concerned\n").repeated(64);

using OptionalBuild = std::optional<qint64>;

} // namespace

class UpdateControllerTest : public QObject
{
    Q_OBJECT

private:
    TestCertificate certificate_;
    std::unique_ptr<LocalHttpsServer> feed_;
    QTemporaryDir home_;
    QString bundlePath_;
    QDateTime now_ = QDateTime(QDate(2025, 3, 1), QTime(9, 0), Qt::UTC);
    int quitCalls_ = 0;
    QElapsedTimer quitClock_;
    qint64 quitAt_ = -1;

    QByteArray manifest(const QString &component, const QString &version, OptionalBuild build,
                        bool withDiskImage = true) const
    {
        QJsonArray artifacts{QJsonObject{
            {"name", "Quillo-Edge-macOS-arm64.dmg"},
            {"size", 10},
            {"sha256", QString(64, QLatin1Char('a'))},
            {"url", feed_->url(QStringLiteral("/downloads/arm64.dmg")).toString()},
        }};
        if (withDiskImage)
            artifacts.append(QJsonObject{
                {"name", "Quillo-Edge-1.5.0-macOS-x86_64.DMG"},
                {"size", dmgBytes.size()},
                {"sha256", QString::fromLatin1(QCryptographicHash::hash(dmgBytes, QCryptographicHash::Sha256).toHex())},
                {"url", feed_->url(dmgPath).toString()},
            });
        QJsonObject object{{"schemaVersion", 1},
                           {"component", component},
                           {"version", version},
                           {"releasedAt", "2025-01-31T08:00:00Z"},
                           {"artifacts", artifacts}};
        if (build)
            object.insert("buildNumber", *build);
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    }

    void serve(const QString &managerVersion, OptionalBuild managerBuild, const QString &serverVersion,
               OptionalBuild serverBuild, bool withDiskImage = true)
    {
        feed_->route(managerPath, ScriptedResponse::ok(manifest("macos", managerVersion, managerBuild, withDiskImage)));
        feed_->route(serverPath, ScriptedResponse::ok(manifest("edge-server", serverVersion, serverBuild)));
    }

    int requestCount(const QString &path) const
    {
        int count = 0;
        for (const RecordedRequest &request : feed_->requests())
            count += request.url().path() == path ? 1 : 0;
        return count;
    }

    std::unique_ptr<ServiceController> makeController(QString bundlePath = {})
    {
        ServiceControllerSetup setup;
        setup.bundle = AppBundle(bundlePath.isEmpty() ? bundlePath_ : bundlePath);
        setup.feed = std::make_shared<const ReleaseFeedClient>(certificate_.clientConfiguration());
        setup.managerManifestURL = feed_->url(managerPath);
        setup.serverManifestURL = feed_->url(serverPath);
        setup.now = [this] { return now_; };
        setup.homeDirectory = home_.path();
        setup.cachesDirectory = home_.filePath(QStringLiteral("caches"));
        setup.quitApplication = [this] {
            ++quitCalls_;
            quitAt_ = quitClock_.elapsed();
        };
        return std::make_unique<ServiceController>(std::move(setup));
    }

    // The first successful refresh always runs a silent check; wait for both.
    static void refreshAndCheck(ServiceController &controller, InstallerFixture &installer, const ServiceStatus &status)
    {
        installer.setStatus(status);
        QSignalSpy checking(&controller, &ServiceController::isCheckingUpdatesChanged);
        controller.refresh();
        QTRY_COMPARE_WITH_TIMEOUT(checking.count(), 2, 15000);
    }

    static void checkAndWait(ServiceController &controller)
    {
        QSignalSpy checking(&controller, &ServiceController::isCheckingUpdatesChanged);
        controller.checkForUpdates();
        QTRY_COMPARE_WITH_TIMEOUT(checking.count(), 2, 15000);
    }

    QStringList workFolders() const
    {
        return QDir(home_.filePath(QStringLiteral("caches/Quillo Updates")))
            .entryList({QStringLiteral("manager-*")}, QDir::Dirs);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(certificate_.isValid(), qPrintable(certificate_.error()));
        feed_ = std::make_unique<LocalHttpsServer>(certificate_);
        QVERIFY(feed_->isListening());
        feed_->route(dmgPath, ScriptedResponse::ok(dmgBytes));
        bundlePath_ = makeManagerBundle(home_.filePath(QStringLiteral("Applications")), QStringLiteral("1.4.0"), 27);
        QVERIFY(!bundlePath_.isEmpty());
    }

    void init()
    {
        quitCalls_ = 0;
        quitAt_ = -1;
        // A handed-over update leaves its work folder to the updater.
        QDir(home_.filePath(QStringLiteral("caches/Quillo Updates"))).removeRecursively();
        feed_->route(dmgPath, ScriptedResponse::ok(dmgBytes));
        serve(QStringLiteral("1.4.0"), 27, QStringLiteral("2.0.1"), std::nullopt);
    }

    void checkPublishesNewerReleases_data()
    {
        QTest::addColumn<QString>("managerVersion");
        QTest::addColumn<OptionalBuild>("managerBuild");
        QTest::addColumn<QString>("serverVersion");
        QTest::addColumn<OptionalBuild>("serverBuild");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("installedVersion");
        QTest::addColumn<QString>("managerDetail");
        QTest::addColumn<QString>("serverDetail");
        QTest::addColumn<QString>("message");
        const OptionalBuild none;
        const QString latest = QStringLiteral("当前已是最新版本");
        const QString found = QStringLiteral("发现可用更新");
        QTest::newRow("manager rebuilt") << "1.4.0" << OptionalBuild(28) << "2.0.1" << none << true << "2.0.1"
                                         << "1.4.0 (27) → 1.4.0 (28)" << "2.0.1" << found;
        QTest::newRow("manager same version, no build") << "1.4.0" << none << "2.0.1" << none << true << "2.0.1"
                                                        << "1.4.0 (27)" << "2.0.1" << latest;
        QTest::newRow("manager version not a version")
            << "1.5" << OptionalBuild(99) << "2.0.1" << none << true << "2.0.1" << "1.4.0 (27)" << "2.0.1"
            << "发布清单格式无效";
        QTest::newRow("service rebuilt") << "1.4.0" << none << "2.0.1" << OptionalBuild(3) << true << "2.0.1"
                                         << "1.4.0 (27)" << "2.0.1 → 2.0.1 (3)" << found;
        QTest::newRow("service same version, build 0") << "1.4.0" << none << "2.0.1" << OptionalBuild(0) << true
                                                       << "2.0.1" << "1.4.0 (27)" << "2.0.1" << latest;
        QTest::newRow("service not installed") << "1.4.0" << none << "3.0.0" << none << false << "2.0.1"
                                               << "1.4.0 (27)" << "2.0.1" << latest;
        QTest::newRow("service without version") << "1.4.0" << none << "3.0.0" << none << true << ""
                                                 << "1.4.0 (27)" << "未启用" << latest;
        QTest::newRow("both newer") << "1.10.0" << OptionalBuild(1) << "2.1.0" << none << true << "2.0.1"
                                    << "1.4.0 (27) → 1.10.0 (1)" << "2.0.1 → 2.1.0" << found;
    }

    void checkPublishesNewerReleases()
    {
        QFETCH(QString, managerVersion);
        QFETCH(OptionalBuild, managerBuild);
        QFETCH(QString, serverVersion);
        QFETCH(OptionalBuild, serverBuild);
        QFETCH(bool, installed);
        QFETCH(QString, installedVersion);
        serve(managerVersion, managerBuild, serverVersion, serverBuild);
        InstallerFixture installer;
        auto controller = makeController();
        ServiceStatus status = runningStatus(installedVersion);
        status.installed = installed;
        refreshAndCheck(*controller, installer, status);

        QTEST(controller->managerVersionDetail(), "managerDetail");
        QTEST(controller->serverVersionDetail(), "serverDetail");
        QTEST(*controller->updateMessage(), "message"); // also for the silent check
        QCOMPARE(controller->hasAvailableUpdates(), controller->managerUpdate() || controller->serverUpdate());
        if (controller->serverUpdate())
            QCOMPARE(controller->serverUpdate()->artifact, std::nullopt);
        if (controller->managerUpdate())
            QCOMPARE(controller->managerUpdate()->artifact->url, feed_->url(dmgPath));
        QCOMPARE(controller->errorMessage(), std::nullopt);
    }

    void checkAsksPastCachesAndShowsItsProgress()
    {
        InstallerFixture installer;
        auto controller = makeController();
        const int before = feed_->requests().size();
        QSignalSpy checking(controller.get(), &ServiceController::isCheckingUpdatesChanged);
        controller->checkForUpdates();
        controller->checkForUpdates(); // ignored while the first runs
        QCOMPARE(controller->updateMessage(), QStringLiteral("正在检查新版本…"));
        QTRY_COMPARE_WITH_TIMEOUT(checking.count(), 2, 15000);
        QTest::qWait(200);
        QCOMPARE(feed_->requests().size(), before + 2);
        QCOMPARE(checking.count(), 2);
        QVERIFY(feed_->requests().last().url().query().startsWith(QStringLiteral("checkedAt=")));
    }

    void failedCheckKeepsEarlierResults_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("manager manifest missing") << managerPath << 404 << QByteArray() << "下载安装包失败（404）";
        QTest::newRow("service manifest failing") << serverPath << 500 << QByteArray() << "下载安装包失败（500）";
        QTest::newRow("manager feed names the service")
            << managerPath << 200 << QByteArray("edge-server") << "发布清单组件不匹配：edge-server";
        QTest::newRow("service feed names the manager")
            << serverPath << 200 << QByteArray("macos") << "发布清单组件不匹配：macos";
        QTest::newRow("manifest of another schema") << managerPath << 200 << QByteArray("schema")
                                                    << "发布清单格式无效";
    }

    void failedCheckKeepsEarlierResults()
    {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        serve(QStringLiteral("1.5.0"), 30, QStringLiteral("2.1.0"), std::nullopt);
        InstallerFixture installer;
        auto controller = makeController();
        refreshAndCheck(*controller, installer, runningStatus());
        const auto managerUpdate = controller->managerUpdate();
        const auto serverUpdate = controller->serverUpdate();
        QVERIFY(managerUpdate && serverUpdate);

        if (status != 200) {
            feed_->route(path, ScriptedResponse::withStatus(status));
        } else if (body == "schema") {
            feed_->route(path, ScriptedResponse::ok(manifest("macos", "9.0.0", 1).replace("\"schemaVersion\":1",
                                                                                            "\"schemaVersion\":2")));
        } else {
            // A well-formed newer manifest of the wrong component must not be applied.
            feed_->route(path, ScriptedResponse::ok(manifest(QString::fromLatin1(body), "9.0.0", 1)));
        }
        checkAndWait(*controller);
        QTEST(*controller->updateMessage(), "message");
        QCOMPARE(controller->managerUpdate(), managerUpdate);
        QCOMPARE(controller->serverUpdate(), serverUpdate);
        QCOMPARE(controller->isCheckingUpdates(), false);
        QCOMPARE(controller->errorMessage(), std::nullopt);
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
        InstallerFixture installer;
        auto controller = makeController();
        refreshAndCheck(*controller, installer, runningStatus());
        const int checksBefore = requestCount(managerPath);

        now_ = now_.addSecs(elapsed);
        if (statusFails)
            installer.setFile(QStringLiteral("status"), QStringLiteral("exit"), "1");
        QSignalSpy checking(controller.get(), &ServiceController::isCheckingUpdatesChanged);
        QSignalSpy errors(controller.get(), &ServiceController::errorMessageChanged);
        controller->refresh();
        QTRY_COMPARE_WITH_TIMEOUT(errors.count(), 1, 10000); // set on failure, cleared on success
        QFETCH(bool, checks);
        if (checks)
            QTRY_COMPARE_WITH_TIMEOUT(checking.count(), 2, 15000);
        else
            QTest::qWait(300);
        QCOMPARE(checking.count(), checks ? 2 : 0);
        QCOMPARE(requestCount(managerPath), checksBefore + (checks ? 1 : 0));
    }

    void summaryFollowsTheAvailableUpdates_data()
    {
        QTest::addColumn<bool>("managerNewer");
        QTest::addColumn<bool>("serverNewer");
        QTest::addColumn<bool>("managed");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<bool>("canUpdate");
        QTest::newRow("service needs adoption") << true << true << false << "迁移现有安装后即可完成更新" << false;
        QTest::newRow("both") << true << true << true << "将一并更新管理应用和打印服务，随后自动重新打开" << true;
        QTest::newRow("manager only") << true << false << true << "将更新管理应用并自动重新打开" << true;
        QTest::newRow("manager only, service unmanaged") << true << false << false << "将更新管理应用并自动重新打开"
                                                         << true;
        QTest::newRow("service only") << false << true << true << "将更新打印服务，完成后自动恢复运行" << true;
        QTest::newRow("neither") << false << false << true << "当前已是最新版本" << false;
    }

    void summaryFollowsTheAvailableUpdates()
    {
        QFETCH(bool, managerNewer);
        QFETCH(bool, serverNewer);
        QFETCH(bool, managed);
        serve(managerNewer ? QStringLiteral("1.5.0") : QStringLiteral("1.3.0"), 30,
              serverNewer ? QStringLiteral("2.1.0") : QStringLiteral("2.0.1"), std::nullopt);
        InstallerFixture installer;
        auto controller = makeController();
        ServiceStatus status = runningStatus();
        status.managed = managed;
        QSignalSpy summaries(controller.get(), &ServiceController::softwareUpdateSummaryChanged);
        refreshAndCheck(*controller, installer, status);
        QVERIFY(summaries.count() > 0);
        QTEST(controller->softwareUpdateSummary(), "summary");
        QTEST(controller->canUpdateSoftware(), "canUpdate");

        // Never while a command runs.
        installer.setFile(QStringLiteral("start"), QStringLiteral("sleep"), "0.3");
        QSignalSpy canUpdate(controller.get(), &ServiceController::canUpdateSoftwareChanged);
        controller->start();
        QVERIFY(canUpdate.count() > 0);
        QCOMPARE(controller->canUpdateSoftware(), false);
        QTRY_VERIFY_WITH_TIMEOUT(!controller->isBusy(), 10000);
    }

    void updateActionRefusesWhatItCannotDo()
    {
        InstallerFixture installer;
        auto controller = makeController();
        refreshAndCheck(*controller, installer, runningStatus());
        controller->updateAvailableSoftware();
        QCOMPARE(controller->updateMessage(), QStringLiteral("当前已是最新版本"));

        serve(QStringLiteral("1.4.0"), 27, QStringLiteral("2.1.0"), std::nullopt);
        ServiceStatus unmanaged = runningStatus();
        unmanaged.managed = false;
        installer.setStatus(unmanaged);
        QSignalSpy statusChanges(controller.get(), &ServiceController::statusChanged);
        controller->refresh();
        QTRY_COMPARE_WITH_TIMEOUT(statusChanges.count(), 1, 10000);
        checkAndWait(*controller);
        QVERIFY(controller->serverUpdate());
        controller->updateAvailableSoftware();
        QCOMPARE(controller->errorMessage(), QStringLiteral("请先迁移现有安装，再更新 Quillo Edge"));
        QTest::qWait(200);
        QCOMPARE(installer.callCount(QStringLiteral("upgrade")), 0);
    }

    void serviceUpdateWithoutAReleaseSucceedsAtOnce()
    {
        InstallerFixture installer;
        auto controller = makeController();
        std::optional<bool> outcome;
        controller->updateEdgeServer([&](bool succeeded) { outcome = succeeded; });
        QCOMPARE(outcome, std::optional<bool>(true));
        QCOMPARE(controller->isInstallingServerUpdate(), false);
        QVERIFY(installer.calls().isEmpty());
    }

    void combinedUpdateRunsTheServiceFirst_data()
    {
        QTest::addColumn<bool>("managerNewer");
        QTest::addColumn<bool>("upgradeFails");
        QTest::addColumn<QString>("reportedVersion");
        QTest::newRow("service then manager") << true << false << "2.1.0";
        QTest::newRow("service fails, manager not started") << true << true << "2.0.1";
        QTest::newRow("service reports another version") << true << false << "2.0.1";
        QTest::newRow("service only") << false << false << "2.1.0";
    }

    void combinedUpdateRunsTheServiceFirst()
    {
        QFETCH(bool, managerNewer);
        QFETCH(bool, upgradeFails);
        QFETCH(QString, reportedVersion);
        serve(managerNewer ? QStringLiteral("1.5.0") : QStringLiteral("1.3.0"), 30, QStringLiteral("2.1.0"),
              std::nullopt);
        InstallerFixture installer;
        UpdaterFixture updater;
        auto controller = makeController();
        refreshAndCheck(*controller, installer, runningStatus());
        QVERIFY(controller->serverUpdate());

        installer.setStatus(runningStatus(reportedVersion));
        installer.setFile(QStringLiteral("upgrade"), QStringLiteral("stdout"),
                          R"({"event":"download","progress":50,"message":"正在下载打印服务"})" "\n");
        if (upgradeFails)
            installer.setFile(QStringLiteral("upgrade"), QStringLiteral("exit"), "1");
        const int downloadsBefore = requestCount(dmgPath);
        int upgradesWhenManagerStarted = -1;
        connect(controller.get(), &ServiceController::isInstallingManagerUpdateChanged, this, [&] {
            if (controller->isInstallingManagerUpdate())
                upgradesWhenManagerStarted = installer.callCount(QStringLiteral("upgrade"));
        });
        QSignalSpy serverFlag(controller.get(), &ServiceController::isInstallingServerUpdateChanged);

        controller->updateAvailableSoftware();
        QCOMPARE(controller->isInstallingServerUpdate(), true);
        QCOMPARE(controller->activityMessage(), QStringLiteral("正在更新打印服务…"));
        QTRY_COMPARE_WITH_TIMEOUT(serverFlag.count(), 2, 10000);
        QCOMPARE(installer.calls().value(1),
                 (QStringList{"upgrade", "--version", "2.1.0", "--json"}));

        const bool serviceUpdated = !upgradeFails && reportedVersion == QLatin1String("2.1.0");
        if (serviceUpdated && managerNewer) {
            QTRY_COMPARE_WITH_TIMEOUT(quitCalls_, 1, 15000);
            QCOMPARE(upgradesWhenManagerStarted, 1);
        } else {
            QTest::qWait(300);
            QCOMPARE(controller->isInstallingManagerUpdate(), false);
            QCOMPARE(requestCount(dmgPath), downloadsBefore);
        }
        QCOMPARE(controller->serverUpdate().has_value(), !serviceUpdated);
        if (serviceUpdated && !managerNewer)
            QCOMPARE(controller->updateMessage(), QStringLiteral("Quillo Edge 已更新到最新版本"));
        if (!serviceUpdated)
            QVERIFY(controller->errorMessage().has_value());
    }

    void managerUpdateGuardsInOrder_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<std::optional<QString>>("updateMessage");
        QTest::addColumn<std::optional<QString>>("errorMessage");
        const std::optional<QString> none;
        QTest::newRow("no disk image for this Mac")
            << "noDiskImage" << std::optional<QString>("没有适合这台 Mac 的安装包") << none;
        QTest::newRow("no build number") << "noBuild" << std::optional<QString>("发布信息中缺少构建号") << none;
        QTest::newRow("busy") << "busy" << std::optional<QString>("发现可用更新") << none;
        QTest::newRow("outside Applications, updater missing too")
            << "downloads" << std::optional<QString>("发现可用更新")
            << std::optional<QString>("请先将 Quillo Edge 移到“应用程序”文件夹，再使用自动更新");
        QTest::newRow("updater missing") << "noUpdater" << std::optional<QString>("发现可用更新")
                                         << std::optional<QString>("App 内缺少更新助手，请重新下载安装包");
        QTest::newRow("updater not executable") << "updaterNotExecutable" << std::optional<QString>("发现可用更新")
                                                << std::optional<QString>("App 内缺少更新助手，请重新下载安装包");
        QTest::newRow("Applications not writable")
            << "notWritable" << std::optional<QString>("发现可用更新")
            << std::optional<QString>("没有权限更新当前 App，请确认当前用户可以写入“应用程序”文件夹");
    }

    void managerUpdateGuardsInOrder()
    {
        QFETCH(QString, scenario);
        QTemporaryDir elsewhere;
        QString bundle = bundlePath_;
        if (scenario == QLatin1String("downloads"))
            bundle = makeManagerBundle(home_.filePath(QStringLiteral("Downloads")), QStringLiteral("1.4.0"), 27);
        if (scenario == QLatin1String("notWritable")) {
            // Nothing can be written into a folder that is not there, not even by root.
            if (QFileInfo::exists(QStringLiteral("/Applications")))
                QSKIP("this machine has an /Applications folder");
            bundle = QStringLiteral("/Applications/Quillo Edge.app");
        }
        serve(QStringLiteral("1.5.0"), scenario == QLatin1String("noBuild") ? OptionalBuild() : OptionalBuild(30),
              QStringLiteral("2.0.1"), std::nullopt, scenario != QLatin1String("noDiskImage"));

        InstallerFixture installer;
        std::optional<UpdaterFixture> updater;
        if (scenario != QLatin1String("noUpdater") && scenario != QLatin1String("downloads"))
            updater.emplace();
        if (scenario == QLatin1String("updaterNotExecutable"))
            QFile::setPermissions(updater->path(), QFile::ReadOwner | QFile::WriteOwner);
        auto controller = makeController(bundle);
        refreshAndCheck(*controller, installer, runningStatus());
        QVERIFY(controller->managerUpdate());
        if (scenario == QLatin1String("busy")) {
            installer.setFile(QStringLiteral("stop"), QStringLiteral("sleep"), "0.5");
            controller->stop();
        }

        const int downloadsBefore = requestCount(dmgPath);
        QSignalSpy flag(controller.get(), &ServiceController::isInstallingManagerUpdateChanged);
        controller->updateManager();
        QTEST(controller->updateMessage(), "updateMessage");
        QTEST(controller->errorMessage(), "errorMessage");
        QTest::qWait(300);
        QCOMPARE(flag.count(), 0);
        QCOMPARE(requestCount(dmgPath), downloadsBefore);
        QVERIFY(controller->managerUpdate());
        QTRY_VERIFY_WITH_TIMEOUT(!controller->isBusy(), 10000);
    }

    void failedPreparationCleansUp_data()
    {
        QTest::addColumn<QByteArray>("errorOutput");
        QTest::addColumn<bool>("truncatedDownload");
        QTest::addColumn<bool>("killed");
        QTest::addColumn<QString>("message");
        QTest::newRow("updater explains") << QByteArray("App 安全校验失败：签名无效\n") << false << false
                                          << "App 安全校验失败：签名无效";
        QTest::newRow("updater silent") << QByteArray() << false << false << "更新助手执行失败";
        QTest::newRow("updater writes only blanks") << QByteArray(" \n\t\n") << false << false << "更新助手执行失败";
        // A crash is never taken for success, whatever exit code it leaves.
        QTest::newRow("updater killed") << QByteArray() << false << true << "更新助手执行失败";
        QTest::newRow("download one byte short") << QByteArray() << true << false << "安装包大小校验失败，请重新下载";
    }

    void failedPreparationCleansUp()
    {
        QFETCH(QByteArray, errorOutput);
        QFETCH(bool, truncatedDownload);
        serve(QStringLiteral("1.5.0"), 30, QStringLiteral("2.0.1"), std::nullopt);
        if (truncatedDownload)
            feed_->route(dmgPath, ScriptedResponse::ok(dmgBytes.chopped(1)));
        InstallerFixture installer;
        UpdaterFixture updater;
        updater.setFile(QStringLiteral("prepare.stderr"), errorOutput);
        QFETCH(bool, killed);
        updater.setFile(killed ? QStringLiteral("prepare.kill") : QStringLiteral("prepare.exit"), "1");
        auto controller = makeController();
        refreshAndCheck(*controller, installer, runningStatus());
        const auto release = controller->managerUpdate();
        controller->setErrorMessage(QStringLiteral("earlier"));

        QSignalSpy flag(controller.get(), &ServiceController::isInstallingManagerUpdateChanged);
        controller->updateAvailableSoftware();
        QCOMPARE(controller->isInstallingManagerUpdate(), true);
        QCOMPARE(controller->updateMessage(), QStringLiteral("正在下载并校验管理应用…"));
        QCOMPARE(controller->errorMessage(), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(flag.count(), 2, 15000);

        QTEST(*controller->updateMessage(), "message");
        QCOMPARE(controller->isInstallingManagerUpdate(), false);
        QCOMPARE(controller->managerUpdate(), release);
        QCOMPARE(controller->errorMessage(), std::nullopt);
        QCOMPARE(workFolders(), QStringList());
        QCOMPARE(updater.hasFile(QStringLiteral("prepare.args")), !truncatedDownload);
        QVERIFY(!updater.hasFile(QStringLiteral("install.args")));
        QCOMPARE(quitCalls_, 0);
    }

    void successfulPreparationHandsOverAndQuits()
    {
        serve(QStringLiteral("1.5.0"), 30, QStringLiteral("2.0.1"), std::nullopt);
        InstallerFixture installer;
        UpdaterFixture updater;
        // The running bundle's path is handed over in standardised form.
        const QString unstandardized = home_.filePath(QStringLiteral("Applications/./Quillo Edge.app"));
        auto controller = makeController(unstandardized);
        refreshAndCheck(*controller, installer, runningStatus());
        QVERIFY(controller->managerUpdate());

        qint64 handedOverAt = -1;
        std::optional<QString> messageAtHandOver;
        connect(controller.get(), &ServiceController::managerUpdateChanged, this, [&] {
            handedOverAt = quitClock_.elapsed();
            messageAtHandOver = controller->updateMessage();
        });
        quitClock_.start();
        controller->updateAvailableSoftware();
        QTRY_COMPARE_WITH_TIMEOUT(quitCalls_, 1, 15000);

        QCOMPARE(messageAtHandOver, QStringLiteral("更新已准备，正在重新打开 Quillo Edge…"));
        QVERIFY2(quitAt_ - handedOverAt >= 240 && quitAt_ - handedOverAt < 2000,
                 qPrintable(QString::number(quitAt_ - handedOverAt)));
        QCOMPARE(controller->managerUpdate(), std::nullopt);
        QCOMPARE(controller->isInstallingManagerUpdate(), true);

        const QStringList folders = workFolders();
        QCOMPARE(folders.size(), 1);
        QVERIFY(QRegularExpression(QStringLiteral("^manager-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"))
                    .match(folders[0])
                    .hasMatch());
        const QString work = home_.filePath(QStringLiteral("caches/Quillo Updates/")) + folders[0];
        const QString staged = work + QStringLiteral("/Staged/Quillo Edge.app");
        const QString copy = work + QStringLiteral("/QuilloEdgeUpdater");
        QCOMPARE(updater.lines(QStringLiteral("prepare.args")),
                 (QStringList{"prepare", "--dmg", work + "/Quillo-Edge-1.5.0-macOS-x86_64.DMG", "--staged-app", staged,
                              "--version", "1.5.0", "--build", "30"}));
        QCOMPARE(updater.lines(QStringLiteral("prepare.self")), QStringList{copy});
        QCOMPARE(updater.lines(QStringLiteral("prepare.modes")), (QStringList{"700", "700"}));

        QTRY_VERIFY_WITH_TIMEOUT(updater.hasFile(QStringLiteral("install.args")), 10000);
        QCOMPARE(updater.lines(QStringLiteral("install.args")),
                 (QStringList{"install", "--staged-app", staged, "--target-app", bundlePath_, "--work-dir", work,
                              "--version", "1.5.0", "--build", "30", "--parent-pid",
                              QString::number(QCoreApplication::applicationPid())}));
        QCOMPARE(updater.lines(QStringLiteral("install.self")), QStringList{copy});
        QDir(work).removeRecursively();
    }
};

QUILLO_CONTROLLER_TEST_MAIN(UpdateControllerTest)
#include "tst_controller_updates.moc"
