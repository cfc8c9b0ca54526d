// The controller against a local feed, the scripted installer and updater (tests/fixtures, reached
// through the real overrides) and a manager 1.4.0 (27) in a temporary home; last, the built bundle.

#include "BackgroundTask.h"
#include "BundleResources.h"
#include "FakeBundle.h"
#include "Fetched.h"
#include "Fixtures.h"
#include "LocalHttpsServer.h"
#include "OpenedUrls.h"
#include "Scripts.h"
#include "Settle.h"
#include "ServiceController.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QJSEngine>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

namespace {

using Build = std::optional<qint64>;
using Calls = QList<QStringList>;
const QString managerPath = QStringLiteral("/quillo/releases/macos/latest/manifest.json");
const QString serverPath = QStringLiteral("/quillo/releases/edge-server/latest/manifest.json");
const QString dmgPath = QStringLiteral("/downloads/Quillo-Edge-1.5.0-macOS-x86_64.dmg");
const QByteArray dmgBytes = QByteArray("a disk image, as far as this test is concerned\n").repeated(64);
const QString found = QStringLiteral("发现可用更新");
const QString latest = QStringLiteral("当前已是最新版本");
const QString readingStatus = QStringLiteral("正在读取服务状态…");
const QString starting = QStringLiteral("正在启动打印服务…");
const QString stopping = QStringLiteral("正在停止打印服务…");
const QString noService = QStringLiteral("App 内缺少打印服务，请重新下载安装包");
const QString mismatch = QStringLiteral("打印服务更新未完成：目标版本为 2.1.0，当前仍为 ");
const QString handingOver = QStringLiteral("更新已准备，正在重新打开 Quillo Edge…");
const QString downloading = QStringLiteral("正在下载并校验管理应用…");
const QString preparing = QStringLiteral("正在验证签名并准备更新…");

// A healthy, managed print service of that version.
ServiceStatus runningStatus(const QString &version = QStringLiteral("2.0.1"))
{
    ServiceStatus status = ServiceStatus::unavailable();
    status.installed = status.managed = status.running = status.healthy = status.autoStart = true;
    status.version = version;
    status.dataDir = QStringLiteral("/srv/edge/data");
    status.logDir = QStringLiteral("/srv/edge/logs");
    return status;
}

QString makeManagerBundle(const QString &folder, const QVariant &build = QStringLiteral("27"))
{
    QVariantMap info = FakeBundle::managerInfo(QStringLiteral("1.4.0"), 0);
    info.insert(QStringLiteral("CFBundleVersion"), build);
    const QString path = folder + QStringLiteral("/Quillo Edge.app");
    return FakeBundle::write(path, info, FakeBundle::Format::Binary) ? path : QString();
}

bool waitUntilIdle(const ServiceController &controller, int milliseconds = 10000)
{
    return QTest::qWaitFor([&] { return !controller.isBusy(); }, milliseconds);
}

} // namespace

class ControllerTest : public QObject
{
    Q_OBJECT

    TestCertificate certificate_;
    std::unique_ptr<LocalHttpsServer> feed_;
    QTemporaryDir home_;
    QString bundle_ = makeManagerBundle(home_.filePath(QStringLiteral("Applications")));
    std::unique_ptr<Scripts> scripts_;
    QDateTime now_;
    QElapsedTimer clock_;
    int quitCalls_ = 0;
    qint64 quitAt_ = -1;

    QString updates() const { return home_.filePath(QStringLiteral("caches/Quillo Updates")); }

    std::unique_ptr<ServiceController> make(const QString &bundle = {}, const QUrl &serverManifest = {})
    {
        ServiceControllerSetup setup;
        setup.bundle = AppBundle(bundle.isEmpty() ? bundle_ : bundle);
        setup.feed = std::make_shared<const ReleaseFeedClient>(certificate_.clientConfiguration());
        setup.managerLine = ReleaseLine::macOS();
        setup.managerLine.manifestURL = feed_->url(managerPath);
        setup.serverManifestUrl = serverManifest.isEmpty() ? feed_->url(serverPath) : serverManifest;
        setup.now = [this] { return now_; };
        setup.homeDirectory = home_.path();
        setup.cachesDirectory = home_.filePath(QStringLiteral("caches"));
        setup.quitApplication = [this] { ++quitCalls_, quitAt_ = clock_.elapsed(); };
        setup.pollInterval = std::chrono::milliseconds(300);
        return std::make_unique<ServiceController>(std::move(setup));
    }

    // A controller whose first refresh read this status and ran its automatic check.
    std::unique_ptr<ServiceController> checked(const ServiceStatus &status, const QString &bundle = {})
    {
        scripts_->setStatus(status);
        auto controller = make(bundle);
        QSignalSpy statuses(controller.get(), &ServiceController::statusChanged);
        controller->refresh();
        const auto readAndChecked = [&] { return statuses.count() > 0 && !controller->isCheckingUpdates(); };
        return QTest::qWaitFor(readAndChecked, 30000) ? std::move(controller) : nullptr;
    }

    QByteArray manifest(const QString &component, const QString &version, Build build, bool withDiskImage = true)
    {
        const auto artifact = [this](const char *name, const QByteArray &bytes, const QString &path) {
            const QByteArray sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
            return QJsonObject{{"name", name},
                               {"size", bytes.size()},
                               {"sha256", QString::fromLatin1(sha256)},
                               {"url", feed_->url(path).toString()}};
        };
        QJsonArray artifacts{artifact("Quillo-Edge-macOS-arm64.dmg", "other", "/arm64.dmg")};
        if (withDiskImage)
            artifacts.append(artifact("Quillo-Edge-1.5.0-macOS-x86_64.DMG", dmgBytes, dmgPath));
        QJsonObject object{{"schemaVersion", 1}, {"component", component}, {"version", version},
                           {"releasedAt", "2025-01-31T08:00:00Z"}, {"artifacts", artifacts}};
        if (build)
            object.insert("buildNumber", *build);
        return QJsonDocument(object).toJson(QJsonDocument::Compact);
    }

    void serve(const QString &manager, Build managerBuild, const QString &server, Build serverBuild = {},
               bool withDiskImage = true)
    {
        feed_->route(managerPath, ScriptedResponse::ok(manifest("macos", manager, managerBuild, withDiskImage)));
        feed_->route(serverPath, ScriptedResponse::ok(manifest("edge-server", server, serverBuild)));
    }

    // Runs updateAvailableSoftware() to its end, keeping what it published on the way: a run can end
    // before its continuation is awaited, so the whole call may finish at once. A handed-over update
    // quits once, anything else not at all, and only a handed-over offer is gone.
    QStringList published_;
    QList<bool> installingServer_;
    qint64 handedOverAt_ = -1;
    bool runUpdate(ServiceController &controller, bool handsOver)
    {
        const bool offered = controller.managerUpdate().has_value();
        // The connections end with the controller.
        const ServiceController *c = &controller;
        connect(c, &ServiceController::updateMessageChanged, this,
                [this, c] { published_ += c->updateMessage().value_or(QString()); });
        connect(c, &ServiceController::managerUpdateChanged, this, [this] { handedOverAt_ = clock_.elapsed(); });
        connect(c, &ServiceController::isInstallingServerUpdateChanged, this,
                [this, c] { installingServer_ += c->isInstallingServerUpdate(); });
        controller.updateAvailableSoftware();
        const bool ended = QTest::qWaitFor(
            [&] {
                return !controller.isBusy() && !controller.isInstallingServerUpdate()
                    && controller.isInstallingManagerUpdate() == handsOver && quitCalls_ == int(handsOver);
            },
            15000);
        settle();
        return ended && quitCalls_ == int(handsOver)
            && controller.managerUpdate().has_value() == (offered && !handsOver)
            && (handsOver || QDir(updates()).isEmpty(QDir::Dirs | QDir::NoDotAndDotDot));
    }

private slots:
    void initTestCase()
    {
        // No test touches the real home or caches folder.
        qputenv("HOME", QFile::encodeName(home_.path()));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(home_.filePath(QStringLiteral("caches"))));
        QVERIFY2(certificate_.isValid(), qPrintable(certificate_.error()));
        feed_ = std::make_unique<LocalHttpsServer>(certificate_);
        QVERIFY(feed_->isListening() && !bundle_.isEmpty());
    }

    void init()
    {
        // Runs spawn with the environment as it is: none may start while it changes.
        blockingWorkPool().waitForDone();
        scripts_.reset();
        scripts_ = std::make_unique<Scripts>();
        now_ = QDateTime(QDate(2025, 3, 1), QTime(9, 0), Qt::UTC);
        quitCalls_ = 0;
        published_.clear();
        installingServer_.clear();
        clock_.start();
        QDir(updates()).removeRecursively(); // a handed-over update leaves its work folder to the updater
        feed_->route(dmgPath, ScriptedResponse::ok(dmgBytes));
        serve(QStringLiteral("1.4.0"), 27, QStringLiteral("2.0.1"));
    }

    // As the views see it: absent values are null and nothing runs until asked; before any status
    // the browser gets the default page and no folder, a status that names no page brings folders,
    // opened as folders, and no page; polling reads the status until it stops.
    void servesTheViews()
    {
        OpenedUrls opened;
        for (const QString scheme : {"http", "file"})
            QDesktopServices::setUrlHandler(scheme, &opened, "open");
        auto controller = make();
        QJSEngine engine;
        engine.globalObject().setProperty(QStringLiteral("c"), engine.newQObject(controller.get()));
        QJSEngine::setObjectOwnership(controller.get(), QJSEngine::CppOwnership);
        QVERIFY(engine.evaluate(QStringLiteral("[c.activityProgress, c.errorMessage, c.managerUpdate, c.serverUpdate, "
                                               "c.updateMessage].every(v => v === null)"))
                    .toBool());
        const auto openAll = [&] {
            controller->openDashboardInBrowser();
            controller->openLogs();
            controller->openDataDirectory();
        };
        openAll();
        settle();
        QVERIFY(!controller->errorMessage() && scripts_->calls().isEmpty() && feed_->requests().isEmpty());

        ServiceStatus status = runningStatus();
        status.url.clear();
        scripts_->setStatus(status);
        controller->startPolling();
        QTRY_VERIFY_WITH_TIMEOUT(scripts_->callCount(QStringLiteral("status")) >= 3, 10000);
        controller->stopPolling();
        settle();
        const int reads = scripts_->callCount(QStringLiteral("status"));
        openAll();
        QTest::qWait(700); // a timer left running would read again within two intervals
        QCOMPARE(scripts_->callCount(QStringLiteral("status")), reads);
        for (const QString scheme : {"http", "file"})
            QDesktopServices::unsetUrlHandler(scheme);
        QCOMPARE(opened.urls,
                 (QList<QUrl>{QUrl("http://127.0.0.1:6176"), QUrl("file:///srv/edge/logs/"),
                              QUrl("file:///srv/edge/data/")}));
    }

    // Each row: a failed command first leaves its own error and message; then one refresh, which
    // checks for updates when one is due and the status was read.
    void refreshReportsAndChecks_data()
    {
        QTest::addColumn<bool>("loadedBefore");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<qint64>("elapsed"); // seconds since the last check
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("checks");
        const QString readError = QStringLiteral("无法读取服务状态：log line");
        QTest::newRow("first, fails") << false << false << false << 0LL << readingStatus << readError << false;
        QTest::newRow("first, silent, fails") << false << true << false << 0LL << stopping << readError << false;
        QTest::newRow("later, fails") << true << false << false << 0LL << stopping << readError << false;
        QTest::newRow("later, silent, fails")
            << true << true << false << 0LL << stopping << "服务命令执行失败（2）" << false;
        QTest::newRow("21599 s later") << true << false << true << 21599LL << stopping << QString() << false;
        QTest::newRow("21600 s later") << true << false << true << 21600LL << stopping << QString() << true;
        QTest::newRow("clock set back") << true << false << true << -100LL << stopping << QString() << false;
    }

    void refreshReportsAndChecks()
    {
        QFETCH(bool, loadedBefore);
        QFETCH(bool, readable);
        QFETCH(QString, error);
        QFETCH(bool, checks);
        auto controller = loadedBefore ? checked(runningStatus()) : make();
        QVERIFY(controller);
        scripts_->set(QStringLiteral("stop.exit"), "2");
        controller->stop();
        QVERIFY(waitUntilIdle(*controller));
        if (!readable)
            scripts_->set(QStringLiteral("status.stdout"), "log line\n");
        now_ = now_.addSecs(FETCHED(qint64, elapsed));
        const int reads = scripts_->callCount(QStringLiteral("status"));
        QSignalSpy checking(controller.get(), &ServiceController::isCheckingUpdatesChanged);
        controller->refresh(FETCHED(bool, silent));
        QTEST(controller->activityMessage(), "message");
        settle(); // the read is over, and a due check has begun
        QCOMPARE(scripts_->callCount(QStringLiteral("status")), reads + 1);
        QTRY_COMPARE_WITH_TIMEOUT(checking.count(), checks ? 2 : 0, 15000);
        QCOMPARE(controller->errorMessage().value_or(QString()), error);
        QCOMPARE(controller->status(), readable || loadedBefore ? runningStatus() : ServiceStatus::unavailable());
    }

    // Once each has run, three polls, commands or silent checks notify nobody, but for the one
    // status read that found another version. Every read is announced all the same.
    void notifiesOnlyChanges_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<int>("reads");
        QTest::newRow("polls") << "poll" << 3;
        QTest::newRow("commands") << "stop" << 3;
        QTest::newRow("silent checks") << "check" << 0;
    }
    void notifiesOnlyChanges()
    {
        QFETCH(QString, operation);
        int notified = 0, reads = 0, others = 0;
        auto controller = checked(runningStatus());
        QVERIFY(controller);
        const auto run = [&] {
            operation == u"poll" ? controller->refresh(true)
                                 : operation == u"stop" ? controller->stop() : controller->checkForUpdates(true);
            settle();
            return waitUntilIdle(*controller) && QTest::qWaitFor([&] { return !controller->isCheckingUpdates(); });
        };
        QVERIFY(run());
        using C = ServiceController;
        connect(controller.get(), &C::statusChanged, this, [&] { ++notified; });
        connect(controller.get(), &C::statusRead, this, [&] { ++reads; });
        for (auto quiet : {&C::activityMessageChanged, &C::activityProgressChanged, &C::errorMessageChanged,
                           &C::managerUpdateChanged, &C::serverUpdateChanged, &C::updateMessageChanged})
            connect(controller.get(), quiet, this, [&] { ++others; });
        QVERIFY(run());
        scripts_->setStatus(runningStatus(QStringLiteral("2.0.2")));
        QVERIFY(run() && run());
        const int expected = FETCHED(int, reads);
        QCOMPARE(std::tuple(notified, reads, others), std::tuple(int(expected > 0), expected, 0));
    }

    // While a command runs, refreshes, commands and updates are refused without a word; a bundle
    // without its print service is reported all the same.
    void busyControllerRefusesRefreshesAndCommands()
    {
        serve(QStringLiteral("1.5.0"), 30, QStringLiteral("2.0.1"));
        auto controller = checked(runningStatus());
        QVERIFY(controller && controller->canUpdateSoftware());
        scripts_->set(QStringLiteral("start.sleep"), "1");
        qputenv("QUILLO_MANAGER_EDGE_BINARY", "/nonexistent/quillo-edge-server");
        controller->start();
        QSignalSpy messages(controller.get(), &ServiceController::activityMessageChanged);
        QSignalSpy updates(controller.get(), &ServiceController::updateMessageChanged);
        controller->refresh();
        controller->stop();
        controller->updateAvailableSoftware();
        QCOMPARE(messages.count() + updates.count(), 0);
        QVERIFY(!controller->canUpdateSoftware() && !controller->isInstallingManagerUpdate());
        controller->install();
        QVERIFY(controller->errorMessage() == noService && controller->activityMessage() == starting);
        QVERIFY(controller->isBusy() && waitUntilIdle(*controller));
        qunsetenv("QUILLO_MANAGER_EDGE_BINARY");
        QCOMPARE(scripts_->calls().mid(1), (Calls{{"start", "--json"}, {"status", "--json"}}));
    }

    // Each operation: its message while it runs, its exact arguments, then one status read, made
    // while still busy, with the script's last event as message and progress; then the failures
    // of the run and of the read.
    void commandsRunAndPublishEachPhase_data()
    {
        QTest::addColumn<QByteArray>("output");     // of the operation's installer command
        QTest::addColumn<QString>("failing");       // the installer command that exits with 1
        QTest::addColumn<QStringList>("arguments"); // empty: refused
        QTest::addColumn<QString>("message");       // while it runs
        QTest::addColumn<QString>("ended");         // the message at the end
        QTest::addColumn<double>("progress");       // at the status read; -1: none
        QTest::addColumn<QString>("error");
        const QByteArray events = R"(starting up
{"event":"step","progress":10,"message":"准备"}
{"event":"step","progress":100,"message":"已启动"}
)";
        const QByteArray none;
        const QStringList start{"start", "--json"};
        const auto plain = [&](const char *command, const QString &message) {
            QTest::newRow(command) << none << "" << QStringList{command, "--json"} << message << message << -1.0 << "";
        };
        plain("stop", stopping);
        plain("restart", QStringLiteral("正在重新启动打印服务…"));
        QTest::newRow("install") << none << ""
                                 << QStringList{"install", "--binary", "<server>", "--autostart", "--json"}
                                 << "正在启用打印服务…"
                                 << "正在启用打印服务…" << -1.0 << "";
        QTest::newRow("install, service not executable")
            << none << "" << QStringList() << readingStatus << readingStatus << -1.0 << noService;
        QTest::newRow("two events") << events << "" << start << starting << "已启动" << 1.0 << "";
        QTest::newRow("start fails") << none << "start" << start << starting << starting << -1.0 << "服务命令执行失败（1）";
        QTest::newRow("status read fails")
            << events << "status" << start << starting << "已启动" << -1.0 << "服务命令执行失败（1）";
    }

    void commandsRunAndPublishEachPhase()
    {
        QFETCH(QString, failing);
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        const QString operation = arguments.value(0, QStringLiteral("install"));
        scripts_->setStatus(runningStatus());
        scripts_->set(operation + QStringLiteral(".stdout"), FETCHED(QByteArray, output));
        scripts_->set(failing + QStringLiteral(".exit"), failing.isEmpty() ? "" : "1");
        // A print service outside the bundle, with a space in its path.
        const QString server = scripts_->filePath(QStringLiteral("edge server"));
        QFile::copy(fixturePath(QStringLiteral("installer-scripted.sh")), server);
        QFile::setPermissions(server, arguments.isEmpty() ? QFile::ReadOwner : QFile::ReadOwner | QFile::ExeOwner);
        qputenv("QUILLO_MANAGER_EDGE_BINARY", QFile::encodeName(server));
        auto controller = make();
        std::optional<std::pair<bool, std::optional<double>>> atRead; // busy, progress
        connect(controller.get(), &ServiceController::statusChanged, this,
                [&] { atRead.emplace(controller->isBusy(), controller->activityProgress()); });
        controller->setErrorMessage(QStringLiteral("earlier"));
        // Taken when the earlier error is replaced, since a quick run may end within the call itself.
        std::optional<std::tuple<bool, QString, bool, QString>> begun; // busy, message, progress, error
        connect(controller.get(), &ServiceController::errorMessageChanged, this, [&] {
            if (!begun)
                begun.emplace(controller->isBusy(), controller->activityMessage(),
                              controller->activityProgress().has_value(), controller->errorMessage().value_or(""));
        });
        QVERIFY(QMetaObject::invokeMethod(controller.get(), operation.toUtf8().constData()));
        // Accepted: busy, its own message, no progress, no error. Refused: an error, nothing runs.
        QCOMPARE(begun, std::optional(std::tuple(!arguments.isEmpty(), FETCHED(QString, message), false,
                                                 arguments.isEmpty() ? error : QString())));
        QVERIFY(waitUntilIdle(*controller) && !controller->activityProgress());
        qunsetenv("QUILLO_MANAGER_EDGE_BINARY");
        QTEST(controller->activityMessage(), "ended");
        QCOMPARE(controller->errorMessage().value_or(QString()), error);
        const double progress = FETCHED(double, progress);
        const bool read = !arguments.isEmpty() && failing.isEmpty();
        QCOMPARE(atRead,
                 read ? std::optional(std::pair(true, progress < 0 ? std::nullopt : std::optional(progress)))
                      : std::nullopt);
        QCOMPARE(controller->status(), read ? runningStatus() : ServiceStatus::unavailable());
        const Calls calls{arguments.replaceInStrings("<server>", server), {"status", "--json"}};
        QCOMPARE(scripts_->calls(), arguments.isEmpty() ? Calls() : calls.mid(0, failing == u"start" ? 1 : 2));
    }

    // Against a manager 1.4.0 (27) and a print service 2.0.1, managed unless told otherwise. A
    // second check that fails (its print service manifest names the manager) keeps what the first
    // found, even a newer manifest of the wrong component.
    void checkPublishesNewerReleases_data()
    {
        QTest::addColumn<QString>("manager");
        QTest::addColumn<Build>("managerBuild");
        QTest::addColumn<Build>("serverBuild"); // of a print service release 2.0.1
        QTest::addColumn<QString>("service");   // "", "unmanaged", "not installed", "no version", or the bundle's build
        QTest::addColumn<bool>("checkFailsAfter");
        QTest::addColumn<QString>("details"); // of the manager and of the print service
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("canUpdate");
        const Build none;
        const QString bothDetails = QStringLiteral("1.4.0 (27) → 1.5.0 (30); 2.0.1 → 2.0.1 (3)");
        QTest::newRow("bundle build with letters")
            << "1.4.0" << none << none << "12a" << false << "1.4.0; 2.0.1" << latest << latest << false;
        QTest::newRow("service rebuilt")
            << "1.4.0" << none << Build(3) << "" << false << "1.4.0 (27); 2.0.1 → 2.0.1 (3)"
            << "将更新打印服务，完成后自动恢复运行" << found << true;
        QTest::newRow("service not installed")
            << "1.4.0" << none << Build(3) << "not installed" << false << "1.4.0 (27); 2.0.1" << latest << latest
            << false;
        QTest::newRow("service without version")
            << "1.4.0" << none << Build(3) << "no version" << false << "1.4.0 (27); 未启用" << latest << latest
            << false;
        QTest::newRow("both, service needs adoption")
            << "1.5.0" << Build(30) << Build(3) << "unmanaged" << false << bothDetails << "迁移现有安装后即可完成更新"
            << found << false;
        QTest::newRow("manager only, service unmanaged")
            << "1.5.0" << Build(30) << none << "unmanaged" << false << "1.4.0 (27) → 1.5.0 (30); 2.0.1"
            << "将更新管理应用并自动重新打开" << found << true;
        QTest::newRow("both, then a check fails")
            << "1.5.0" << Build(30) << Build(3) << "" << true << bothDetails
            << "将一并更新管理应用和打印服务，随后自动重新打开" << "发布清单组件不匹配：macos" << true;
    }

    void checkPublishesNewerReleases()
    {
        QFETCH(QString, service);
        serve(FETCHED(QString, manager), FETCHED(Build, managerBuild), QStringLiteral("2.0.1"),
              FETCHED(Build, serverBuild));
        ServiceStatus status = runningStatus(service == u"no version" ? QString() : QStringLiteral("2.0.1"));
        status.installed = service != u"not installed";
        status.managed = service != u"unmanaged";
        QTemporaryDir folder;
        auto controller = checked(status, service == u"12a" ? makeManagerBundle(folder.path(), service) : QString());
        QVERIFY(controller);
        if (FETCHED(bool, checkFailsAfter)) {
            feed_->route(serverPath, ScriptedResponse::ok(manifest("macos", "9.0.0", 1)));
            const qsizetype requests = feed_->requests().size();
            controller->checkForUpdates();
            controller->checkForUpdates(); // ignored while the first runs
            QCOMPARE(controller->updateMessage(), QStringLiteral("正在检查新版本…"));
            QTRY_VERIFY_WITH_TIMEOUT(!controller->isCheckingUpdates(), 15000);
            QTest::qWait(200);
            QCOMPARE(feed_->requests().size(), requests + 2); // one check: both manifests
        }
        QTEST(controller->managerVersionDetail() + "; " + controller->serverVersionDetail(), "details");
        QTEST(controller->softwareUpdateSummary(), "summary");
        QTEST(*controller->updateMessage(), "message"); // also from the silent first check
        QTEST(controller->canUpdateSoftware(), "canUpdate");
        QVERIFY(!controller->errorMessage());
    }

    // A failed manager fetch abandons the print service fetch instead of waiting out its time-out.
    void failedFetchAbandonsTheOther()
    {
        QTcpServer silent; // never answers the TLS handshake
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        feed_->route(managerPath, ScriptedResponse::withStatus(404));
        auto controller = make({}, QUrl(QStringLiteral("https://127.0.0.1:%1/edge.json").arg(silent.serverPort())));
        controller->checkForUpdates();
        QTRY_VERIFY_WITH_TIMEOUT(!controller->isCheckingUpdates(), 10000);
        QCOMPARE(controller->updateMessage(), QStringLiteral("下载安装包失败（404）"));
    }

    // updateAvailableSoftware(): the print service first, the manager only after its success. A
    // failure keeps the offer, leaves no folder and does not quit.
    void updateRunsTheServiceFirst_data()
    {
        QTest::addColumn<QString>("manager");
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("managed");
        QTest::addColumn<QByteArray>("upgradeExit");
        QTest::addColumn<QString>("reported"); // the print service's version after its update
        QTest::addColumn<QStringList>("messages"); // every update message on the way
        QTest::addColumn<QString>("error");
        const QString updated = QStringLiteral("打印服务已更新到 2.1.0");
        const QStringList none;
        QTest::newRow("service then manager") << "1.5.0" << "2.1.0" << true << QByteArray() << "2.1.0"
                                              << QStringList{updated, downloading, preparing, handingOver} << "";
        QTest::newRow("service only") << "1.3.0" << "2.1.0" << true << QByteArray() << "2.1.0"
                                      << QStringList{updated, "Quillo Edge 已更新到最新版本"} << "";
        QTest::newRow("nothing to update, check failed") << "x" << "2.0.1" << true << QByteArray() << "2.0.1"
                                                         << QStringList{latest} << "";
        QTest::newRow("service fails") << "1.5.0" << "2.1.0" << true << QByteArray("1") << "2.1.0" << none
                                       << "服务命令执行失败（1）";
        QTest::newRow("service needs adoption") << "1.5.0" << "2.1.0" << false << QByteArray() << "2.1.0" << none
                                                << "请先迁移现有安装，再更新 Quillo Edge";
        QTest::newRow("service reports no version") << "1.5.0" << "2.1.0" << true << QByteArray() << "" << none
                                                    << mismatch + "未知";
        QTest::newRow("service writes its version otherwise")
            << "1.5.0" << "2.1.0" << true << QByteArray() << "02.1.0" << none << mismatch + "02.1.0";
    }
    void updateRunsTheServiceFirst()
    {
        QFETCH(QStringList, messages);
        serve(FETCHED(QString, manager), 30, FETCHED(QString, server));
        ServiceStatus before = runningStatus();
        before.managed = FETCHED(bool, managed);
        auto controller = checked(before, bundle_);
        QVERIFY(controller);
        const bool upgrades = controller->serverUpdate() && before.managed;
        scripts_->setStatus(runningStatus(FETCHED(QString, reported)));
        scripts_->set(QStringLiteral("upgrade.exit"), FETCHED(QByteArray, upgradeExit));
        QVERIFY(runUpdate(*controller, messages.contains(handingOver)));
        QCOMPARE(published_, messages);
        QCOMPARE(installingServer_, upgrades ? QList<bool>({true, false}) : QList<bool>());
        QTEST(controller->errorMessage().value_or(QString()), "error");
        QCOMPARE(scripts_->calls().mid(1, 1),
                 (upgrades ? Calls{{"upgrade", "--version", "2.1.0", "--json"}} : Calls()));
    }

    // The manager's guards in their order, then the download, prepared by a private copy of the
    // updater and handed over a moment before quitting; an updater that fails says why, or that it
    // failed. The running bundle's path is handed over in standardised form.
    void managerUpdateIsGuardedThenHandedOver_data()
    {
        QTest::addColumn<QString>("folder"); // of the bundle, in the home folder unless absolute
        QTest::addColumn<Build>("build");
        QTest::addColumn<bool>("diskImage");
        QTest::addColumn<QString>("updater");       // "", "missing" or "not executable"
        QTest::addColumn<QString>("ending");        // of its "prepare" run: "", "exit 1" or "kill"
        QTest::addColumn<QByteArray>("explanation"); // on its standard error
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("error");
        const QString home = QStringLiteral("Applications/.");
        const QStringList steps{downloading, preparing};
        const QString failed = QStringLiteral("更新助手执行失败");
        const QByteArray none;
        QTest::newRow("handed over")
            << home << Build(30) << true << "" << "" << none << steps + QStringList{handingOver} << "";
        QTest::newRow("no disk image for this Mac")
            << home << Build(30) << false << "" << "" << none << QStringList{"没有适合这台 Mac 的安装包"} << "";
        QTest::newRow("no build number")
            << home << Build() << true << "" << "" << none << QStringList{"发布信息中缺少构建号"} << "";
        QTest::newRow("outside Applications, updater missing too")
            << "Downloads" << Build(30) << true << "missing" << "" << none << QStringList()
            << "请先将 Quillo Edge 移到“应用程序”文件夹，再使用自动更新";
        QTest::newRow("updater not executable") << home << Build(30) << true << "not executable" << "" << none
                                                << QStringList() << "App 内缺少更新助手，请重新下载安装包";
        QTest::newRow("not writable") << "/Applications" << Build(30) << true << "" << "" << none << QStringList()
                                      << "没有权限更新当前 App，请确认当前用户可以写入“应用程序”文件夹";
        QTest::newRow("updater explains") << home << Build(30) << true << "" << "exit 1"
                                          << QByteArray("App 安全校验失败：签名无效\n")
                                          << steps + QStringList{"App 安全校验失败：签名无效"} << "";
        QTest::newRow("updater silent") << home << Build(30) << true << "" << "exit 1" << none
                                        << steps + QStringList{failed} << "";
        QTest::newRow("updater killed") // whatever exit code a crash leaves
            << home << Build(30) << true << "" << "kill" << none << steps + QStringList{failed} << "";
    }
    void managerUpdateIsGuardedThenHandedOver()
    {
        QFETCH(QString, folder);
        QFETCH(QString, updater);
        QFETCH(QString, ending);
        QFETCH(QStringList, messages);
        const bool handedOver = messages.contains(handingOver);
        // Nothing can be written into a folder that is not there, not even by root.
        if (folder.startsWith(u'/') && QFileInfo::exists(folder))
            QSKIP("this machine has an /Applications folder");
        const QString bundle = folder == u"Downloads" ? makeManagerBundle(home_.filePath(folder))
                                                      : QDir(home_.path()).filePath(folder + "/Quillo Edge.app");
        serve(QStringLiteral("1.5.0"), FETCHED(Build, build), QStringLiteral("2.0.1"), {}, FETCHED(bool, diskImage));
        if (updater == u"missing")
            QFile::remove(scripts_->updater);
        if (updater == u"not executable")
            QFile::setPermissions(scripts_->updater, QFile::ReadOwner | QFile::WriteOwner);
        scripts_->set(ending == u"kill" ? QStringLiteral("prepare.kill") : QStringLiteral("prepare.exit"),
                      ending.isEmpty() ? "" : "1");
        scripts_->set(QStringLiteral("prepare.stderr"), FETCHED(QByteArray, explanation));
        auto controller = checked(runningStatus(), bundle);
        QVERIFY(controller && runUpdate(*controller, handedOver));
        QCOMPARE(published_, messages);
        QTEST(controller->errorMessage().value_or(QString()), "error");
        if (!handedOver)
            return;
        const QStringList folders = QDir(updates()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(folders.size(), 1);
        const qint64 pause = quitAt_ - handedOverAt_;
        QVERIFY2(pause >= 240 && pause < 2000, qPrintable(QString::number(pause)));
        QVERIFY(QRegularExpression("^manager-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$").match(folders[0]).hasMatch());
        const QString work = updates() + u'/' + folders[0];
        const QString staged = work + QStringLiteral("/Staged/Quillo Edge.app");
        QCOMPARE(scripts_->lines("prepare.args"),
                 (QStringList{"prepare", "--dmg", work + "/Quillo-Edge-1.5.0-macOS-x86_64.DMG", "--staged-app", staged,
                              "--version", "1.5.0", "--build", "30"}));
        QCOMPARE(scripts_->lines("prepare.modes"), (QStringList{"700", "700"}));
        QTRY_VERIFY_WITH_TIMEOUT(!scripts_->lines("install.args").isEmpty(), 10000);
        QCOMPARE(scripts_->lines("install.args"),
                 (QStringList{"install", "--staged-app", staged, "--target-app", bundle_, "--work-dir", work,
                              "--version", "1.5.0", "--build", "30", "--parent-pid",
                              QString::number(QCoreApplication::applicationPid())}));
        for (const char *name : {"prepare.self", "install.self"}) // both from a private copy
            QCOMPARE(scripts_->lines(name), QStringList{work + "/QuilloEdgeUpdater"});
    }

    // The built "Quillo Edge.app" as it ships, without overrides: its Info values and resources.
    void shippedBundleHasItsResources()
    {
        scripts_.reset();
        ServiceControllerSetup setup;
        setup.bundle = AppBundle(QStringLiteral(QUILLO_BUNDLE_DIR));
        const ServiceController controller(std::move(setup));
        QCOMPARE(controller.managerVersion() + u' ' + QString::number(controller.managerBuildNumber()),
                 QStringLiteral(QUILLO_PROJECT_VERSION " %1").arg(QUILLO_BUILD_NUMBER));
        QCOMPARE(controller.installerURL().toLocalFile(),
                 QStringLiteral(QUILLO_BUNDLE_DIR "/Contents/Resources/Installer/install.sh"));
        QVERIFY(QFile::exists(controller.installerURL().toLocalFile()));
        for (const QUrl &program : {controller.bundledServerURL(), controller.updaterURL()})
            QVERIFY2(BundleResources::isExecutableFile(program.toLocalFile()), qPrintable(program.toLocalFile()));
    }
};

QTEST_MAIN(ControllerTest)
#include "tst_controller.moc"
