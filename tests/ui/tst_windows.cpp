// The manager's windows over a controller whose installer is a fixture script: the main window
// with its page view over a local page, and the settings window opened from it.
#include "ApplicationSetup.h"
#include "FakeBundle.h"
#include "Fetched.h"
#include "OpenedUrls.h"
#include "Scripts.h"
#include "Settle.h"
#include "ServiceController.h"

#include <QAccessible>
#include <QColor>
#include <QDesktopServices>
#include <QHash>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

#include <csignal>

Q_IMPORT_QML_PLUGIN(QuilloEdgeUiPlugin)
Q_IMPORT_QML_PLUGIN(QuilloEdgeControllerPlugin)

namespace {

// The links sit 20 apart from the top, in the order of Link.
const QByteArray page = R"(<!doctype html><html><head><meta charset="utf-8"><title>home</title>
<style>a { position:absolute; left:0; width:300px; height:20px }</style></head><body>
<a href="/second" style="top:0">local</a>
<a href="http://quillo.invalid/elsewhere" style="top:20px">elsewhere</a>
<a id="blank" target="_blank" href="http://quillo.invalid/blank" style="top:40px">new window</a>
<iframe src="http://quillo.invalid/frame" style="position:absolute; top:200px"></iframe>
<input id="file" type="file" style="position:absolute; left:0; top:100px; width:300px; height:60px">
<script>
  var changes = 0;
  document.getElementById('file').addEventListener('change', () => changes++);
</script></body></html>)";

enum class Link { local, external, newWindow };

// Serves the page for every path but /download/…, a file to save, and counts the requests per path.
class PageServer : public QTcpServer
{
public:
    QHash<QString, int> requests;

    PageServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
        });
        listen(QHostAddress::LocalHost);
    }
    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path));
    }

private:
    void answer(QTcpSocket *socket)
    {
        const QByteArray path = socket->readAll().split(' ').value(1);
        ++requests[QString::fromLatin1(path)];
        const bool file = path.startsWith("/download/");
        socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: "
                      + QByteArray(file ? "text/plain\r\nContent-Disposition: attachment" : "text/html; charset=utf-8")
                      + "\r\nContent-Length: " + QByteArray::number(file ? 3 : page.size()) + "\r\n\r\n"
                      + (file ? "new" : page));
        socket->disconnectFromHost();
    }
};

const QString removeButton = QStringLiteral("removeServiceButton");
const QString confirmation = QStringLiteral("removalConfirmation");

// A service with nothing listening at its address, so a page view shows an error page.
ServiceStatus statusOf(bool installed, bool managed, bool running = false, bool healthy = false,
                       bool autoStart = false)
{
    ServiceStatus status = ServiceStatus::unavailable();
    status.installed = installed;
    status.managed = managed;
    status.running = running;
    status.healthy = healthy;
    status.autoStart = autoStart;
    status.url = QStringLiteral("http://127.0.0.1:9");
    status.dataDir = QStringLiteral("/srv/edge/data");
    status.logDir = QStringLiteral("/srv/edge/logs");
    return status;
}

// The item or object of that objectName in window; fails the test when there is none.
QObject *findNamed(const QWindow *window, const QString &objectName)
{
    QObject *object = window ? window->findChild<QObject *>(objectName) : nullptr;
    if (!object)
        QTest::qFail(qPrintable(QStringLiteral("no object named ") + objectName), __FILE__, __LINE__);
    return object;
}

// A left click in the middle of the item, as the user makes it.
void clickItem(QQuickItem *item)
{
    if (!item || !item->window())
        return;
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(item->window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

// The visible controls inside scope (a window's root item, a popup's item) that Tab does not
// reach while enabled, or that have no name for screen readers; controls receives how many
// visible controls there are.
QStringList unreachableOrUnnamedControls(QQuickItem *scope, int &controls)
{
    QSet<QQuickItem *> chain;
    for (QQuickItem *item = scope->nextItemInFocusChain(); item && !chain.contains(item);
         item = item->nextItemInFocusChain())
        chain.insert(item);
    QStringList faults;
    controls = 0;
    for (QQuickItem *item : scope->window()->findChildren<QQuickItem *>()) {
        if (!item->inherits("QQuickAbstractButton") || item->inherits("QQuickMenuBarItem") || !item->isVisible()
            || !scope->isAncestorOf(item))
            continue;
        ++controls;
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(item);
        if ((!chain.contains(item) && item->isEnabled()) || !accessible
            || accessible->text(QAccessible::Name).isEmpty())
            faults.append(item->objectName().isEmpty() ? QString::fromLatin1(item->metaObject()->className())
                                                       : item->objectName());
    }
    return faults;
}

} // namespace

class WindowsTest : public QObject
{
    Q_OBJECT

private:
    // The scripted installer and a manager bundle in its folder. Each test has its own controller,
    // whose feed refuses every connection, its own main window over it, loaded as the program loads
    // it, and its own page server.
    const Scripts scripts_;
    std::unique_ptr<ServiceController> controller_;
    std::unique_ptr<QQmlApplicationEngine> engine_;
    QQuickWindow *window_ = nullptr;
    QStringList qmlWarnings_;
    std::unique_ptr<PageServer> pages_;
    OpenedUrls opened_;

    ServiceController &controller() const { return *controller_; }
    QObject *find(const QString &name) const { return findNamed(window_, name); }
    QVariant readMain(const QString &name, const char *property) const { return find(name)->property(property); }
    QString text(const QString &name) const { return readMain(name, "text").toString(); }
    bool visible(const QString &name) const { return readMain(name, "visible").toBool(); }
    bool enabled(const QString &name) const { return readMain(name, "enabled").toBool(); }
    void click(const QString &name) const { clickItem(qobject_cast<QQuickItem *>(find(name))); }

    // Serves status and waits until a refresh has read it and the windows show it.
    bool show(const ServiceStatus &status)
    {
        scripts_.setStatus(status);
        const int reads = scripts_.callCount(QStringLiteral("status"));
        controller_->refresh(false);
        const bool shown = QTest::qWaitFor(
            [&] { return scripts_.callCount(QStringLiteral("status")) > reads && controller_->status() == status; },
            10000);
        settle();
        return shown;
    }
    bool waitUntilIdle() const
    {
        return QTest::qWaitFor([&] { return !controller_->isBusy(); }, 10000);
    }

    QObject *pageView() const { return find(QStringLiteral("dashboardView")); }
    void runJavaScript(const QString &script) const
    {
        QMetaObject::invokeMethod(pageView(), "runJavaScript", Q_ARG(QString, script));
    }
    // Waits until the page at path has been requested once more and has finished loading.
    bool pageLoaded(const QString &path, int requestsBefore) const
    {
        return QTest::qWaitFor(
            [&] {
                const QObject *view = window_->findChild<QObject *>(QStringLiteral("dashboardView"));
                return pages_->requests.value(path) > requestsBefore && view
                    && view->property("url").toUrl() == pages_->url(path) && !view->property("loading").toBool()
                    && view->property("title") == QLatin1String("home");
            },
            20000);
    }
    void clickPage(Link link) const
    {
        const QPointF at = qobject_cast<QQuickItem *>(pageView())->mapToScene(QPointF(150, 10 + 20 * int(link)));
        QTest::mouseClick(window_, Qt::LeftButton, Qt::NoModifier, at.toPoint());
    }
    QString pageTitle() const { return pageView()->property("title").toString(); }
    // A healthy service whose page is at path, shown in the page view.
    bool showPage(const QString &path)
    {
        const int before = pages_->requests.value(path);
        ServiceStatus status = statusOf(true, true, true, true);
        status.url = pages_->url(path).toString();
        return show(status) && pageLoaded(path, before);
    }

    // The visible settings windows.
    QList<QQuickWindow *> settingsWindows() const
    {
        QList<QQuickWindow *> found;
        for (QWindow *window : QGuiApplication::topLevelWindows())
            if (window->objectName() == QStringLiteral("settingsWindow") && window->isVisible())
                found.append(qobject_cast<QQuickWindow *>(window));
        return found;
    }
    QQuickWindow *settings() const { return settingsWindows().value(0); }
    QQuickItem *item(const QString &name) const { return qobject_cast<QQuickItem *>(findNamed(settings(), name)); }
    QVariant read(const QString &name, const char *property) const
    {
        return findNamed(settings(), name)->property(property);
    }
    bool confirmationShows() const { return read(confirmation, "visible").toBool(); }

    bool openSettings(QWindow *from)
    {
        from->requestActivate();
        QTest::keyClick(from, Qt::Key_Comma, Qt::ControlModifier);
        return QTest::qWaitFor([&] { return settings() && settings()->isExposed(); });
    }
    int uninstalls() const { return scripts_.callCount(QStringLiteral("uninstall")); }

private slots:
    void initTestCase()
    {
        QVERIFY(FakeBundle::write(scripts_.filePath(QStringLiteral("Applications/Quillo Edge.app")),
                                  FakeBundle::managerInfo(QStringLiteral("1.4.0"), 27)));
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &opened_, "open");
    }

    void init()
    {
        scripts_.setStatus(statusOf(false, false));
        const QString bundle = scripts_.filePath(QStringLiteral("Applications/Quillo Edge.app"));
        ServiceControllerSetup setup;
        setup.bundle = AppBundle(bundle);
        setup.managerLine.manifestURL = QUrl(QStringLiteral("https://127.0.0.1:9/manager.json"));
        setup.serverManifestUrl = QUrl(QStringLiteral("https://127.0.0.1:9/server.json"));
        setup.homeDirectory = scripts_.path();
        setup.cachesDirectory = scripts_.filePath(QStringLiteral("caches"));
        setup.quitApplication = [] {};
        setup.pollInterval = std::chrono::milliseconds(300);
        controller_ = std::make_unique<ServiceController>(std::move(setup));

        engine_ = std::make_unique<QQmlApplicationEngine>();
        engine_->addImportPath(QStringLiteral("qrc:/"));
        connect(engine_.get(), &QQmlApplicationEngine::warnings, this, [this](const QList<QQmlError> &errors) {
            for (const QQmlError &error : errors)
                qmlWarnings_.append(error.toString());
        });
        engine_->setInitialProperties({{QStringLiteral("controller"), QVariant::fromValue(controller_.get())}});
        engine_->load(QUrl(QStringLiteral("qrc:/QuilloEdge/Main.qml")));
        window_ = qobject_cast<QQuickWindow *>(engine_->rootObjects().value(0));
        QVERIFY2(window_ && QTest::qWaitForWindowExposed(window_), qPrintable(qmlWarnings_.join(u'\n')));
        QCOMPARE(window_->title(), QStringLiteral("Quillo Edge"));
        QCOMPARE(window_->minimumSize(), QSize(920, 620));
        // Showing the window starts the polling.
        QVERIFY(controller().isPolling());
        QTRY_VERIFY(scripts_.callCount(QStringLiteral("status")) >= 1);
        QVERIFY(waitUntilIdle());
        QTRY_VERIFY(!controller().isCheckingUpdates());
        pages_ = std::make_unique<PageServer>();
        QVERIFY(pages_->isListening());
    }

    // Closing the window stops the polling; a run still going ends before the next test.
    void cleanup()
    {
        engine_.reset();
        QVERIFY(!controller().isPolling());
        QVERIFY(waitUntilIdle());
        settle();
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("http")); }

    void showsEachState_data()
    {
        QTest::addColumn<ServiceStatus>("status");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("area");
        QTest::addColumn<QString>("placeholder"); // empty: the page shows
        QTest::addColumn<QString>("placeholderButton");
        QTest::addColumn<bool>("serverVersionRow");
        const QString grey = QStringLiteral("#8e8e93");
        const QString green = QStringLiteral("#34c759");
        QTest::newRow("not installed") << statusOf(false, false, false, false) << "尚未启用" << grey << "installCard"
                                       << "开始使用 Quillo Edge" << "启用 Quillo Edge" << false;
        QTest::newRow("not managed, healthy")
            << statusOf(true, false, true, true) << "发现现有安装" << "#ff9500" << "adoptionCard" << "" << "" << true;
        QTest::newRow("unhealthy") << statusOf(true, true, true, false) << "服务异常" << "#ff3b30"
                                   << "serviceControlsCard" << "Edge Web 暂不可用" << "重新检查" << true;
        QTest::newRow("stopped") << statusOf(true, true) << "已停止" << grey << "serviceControlsCard"
                                 << "Edge Web 暂不可用" << "启动打印服务" << true;
        ServiceStatus badUrl = statusOf(true, true, true, true);
        badUrl.url = QStringLiteral("http://127.0.0.1:6176/a b");
        QTest::newRow("healthy, address does not parse") << badUrl << "在线" << green << "serviceControlsCard"
                                                         << "Edge Web 暂不可用" << "重新检查" << true;
        QTest::newRow("healthy") << statusOf(true, true, true, true) << "在线" << green << "serviceControlsCard" << ""
                                 << "" << true;
    }
    void showsEachState()
    {
        QFETCH(ServiceStatus, status);
        QFETCH(QString, area);
        QFETCH(QString, placeholder);
        QVERIFY(show(status));
        QCOMPARE(text(QStringLiteral("statusTitle")), FETCHED(QString, title));
        QCOMPARE(readMain(QStringLiteral("statusDot"), "color").value<QColor>().name(), FETCHED(QString, colour));
        for (const QString card : {"installCard", "adoptionCard", "serviceControlsCard"})
            QCOMPARE(visible(card), card == area);
        QCOMPARE(visible(QStringLiteral("placeholder")), !placeholder.isEmpty());
        QCOMPARE(readMain(QStringLiteral("dashboardLoader"), "active").toBool(), placeholder.isEmpty());
        if (!placeholder.isEmpty()) {
            QCOMPARE(text(QStringLiteral("placeholderTitle")), placeholder);
            QCOMPARE(text(QStringLiteral("placeholderButton")), FETCHED(QString, placeholderButton));
        }
        if (status.managed)
            QCOMPARE(readMain(QStringLiteral("versionRow"), "value").toString(), QStringLiteral("未知"));
        QCOMPARE(enabled(QStringLiteral("toolbarOpenInBrowser")), status.healthy);
        click(QStringLiteral("versionDetailsToggle"));
        QCOMPARE(visible(QStringLiteral("serverVersionRow")), FETCHED(bool, serverVersionRow));
        click(QStringLiteral("versionDetailsToggle"));
    }

    // While a command runs the status reads "处理中" with the command's text, everywhere; a
    // thousand presses of a button that stays enabled run the command once.
    void runsOneCommandAtATime()
    {
        QVERIFY(show(statusOf(true, true)));
        scripts_.set(QStringLiteral("start.sleep"), "3"); // outlasts the presses, also under sanitizers
        const int startsBefore = scripts_.callCount(QStringLiteral("start"));
        for (int i = 0; i < 1000; ++i)
            click(QStringLiteral("placeholderButton"));
        QTRY_VERIFY(controller().isBusy());
        QCOMPARE(text(QStringLiteral("statusTitle")), QStringLiteral("处理中"));
        QCOMPARE(text(QStringLiteral("statusSubtitle")), QStringLiteral("正在启动打印服务…"));
        QVERIFY(visible(QStringLiteral("activityFooter")));
        QCOMPARE(text(QStringLiteral("activityText")), QStringLiteral("正在启动打印服务…"));
        QVERIFY(!enabled(QStringLiteral("runButton")));
        QVERIFY(!enabled(QStringLiteral("toolbarRefresh")));
        QVERIFY(waitUntilIdle());
        scripts_.set(QStringLiteral("start.sleep"), {});
        QCOMPARE(scripts_.callCount(QStringLiteral("start")) - startsBefore, 1);
        QVERIFY(!visible(QStringLiteral("activityFooter")));

        click(QStringLiteral("runButton"));
        QTRY_COMPARE(scripts_.callCount(QStringLiteral("start")) - startsBefore, 2);
        QVERIFY(waitUntilIdle());
    }

    // Tab reaches every control and each has a name for screen readers. Return presses the
    // focused button, and Ctrl+R refreshes from anywhere.
    void keyboard()
    {
        QVERIFY(show(statusOf(true, true)));
        int controls = 0;
        QCOMPARE(unreachableOrUnnamedControls(window_->contentItem(), controls), QStringList());
        QVERIFY(controls >= 10);

        int reads = scripts_.callCount(QStringLiteral("status"));
        qobject_cast<QQuickItem *>(find(QStringLiteral("toolbarRefresh")))
            ->forceActiveFocus(Qt::TabFocusReason);
        QTest::keyClick(window_, Qt::Key_Return);
        QTRY_VERIFY(scripts_.callCount(QStringLiteral("status")) > reads);

        reads = scripts_.callCount(QStringLiteral("status"));
        window_->requestActivate();
        QTest::keyClick(window_, Qt::Key_R, Qt::ControlModifier);
        QTRY_VERIFY(scripts_.callCount(QStringLiteral("status")) > reads);
    }

    // The page loads once per address: polls and re-renders with the same address do not reload it.
    void pageLoadsOnlyANewAddress()
    {
        QVERIFY(showPage(QStringLiteral("/")));
        QMetaObject::invokeMethod(pageView(), "loadPage");
        const int reads = scripts_.callCount(QStringLiteral("status"));
        QTRY_VERIFY(scripts_.callCount(QStringLiteral("status")) >= reads + 3); // polls read the same address
        settle();
        QCOMPARE(pages_->requests.value(QStringLiteral("/")), 1);
        QVERIFY(showPage(QStringLiteral("/?port=6177")));
        QCOMPARE(pages_->requests.value(QStringLiteral("/?port=6177")), 1);
    }

    // Only the page's own origin shows in the view. Only the user's click on a link, or for a new
    // window, reaches the desktop: scripts and frames of other sites are dropped, and no window
    // opens.
    void pageKeepsToItsOrigin()
    {
        QVERIFY(showPage(QStringLiteral("/links")));
        const qsizetype windows = QGuiApplication::topLevelWindows().size();
        opened_.urls.clear();
        runJavaScript(QStringLiteral("window.open('http://quillo.invalid/opened'); location = 'http://quillo.invalid/';"
                                     " document.getElementById('blank').click(); document.title = 'scripted'"));
        QTRY_COMPARE(pageTitle(), QStringLiteral("scripted"));
        clickPage(Link::external);
        clickPage(Link::newWindow);
        QTRY_COMPARE(opened_.urls.size(), 2);
        QCOMPARE(opened_.urls, QList<QUrl>({QUrl(QStringLiteral("http://quillo.invalid/elsewhere")),
                                            QUrl(QStringLiteral("http://quillo.invalid/blank"))}));
        QCOMPARE(pageView()->property("url").toUrl(), pages_->url(QStringLiteral("/links")));
        QCOMPARE(QGuiApplication::topLevelWindows().size(), windows);

        clickPage(Link::local);
        QVERIFY(pageLoaded(QStringLiteral("/second"), 0));
        QCOMPARE(opened_.urls.size(), 2);
    }

    // The page's requests for devices and notifications are refused at once.
    void pageGetsNoPermission()
    {
        QVERIFY(showPage(QStringLiteral("/permissions")));
        runJavaScript(QStringLiteral("Notification.requestPermission().then(answer => document.title = answer)"));
        QTRY_COMPARE(pageTitle(), QStringLiteral("denied"));
    }

    // A crashed page is reloaded after each pause, three times, and then waits for the user's
    // word; a page that ended normally is not reloaded.
    void crashedPageIsReloadedAFewTimes()
    {
        const QString path = QStringLiteral("/crash");
        QVERIFY(showPage(path));
        pageView()->setProperty("reloadPauses", QVariantList{50, 100, 150});
        qint64 pid = 0;
        for (int crash = 1; crash <= 4; ++crash) {
            const qint64 crashed = pid; // never 0, which would signal this whole process group
            QTRY_VERIFY((pid = pageView()->property("renderProcessPid").toLongLong()) > 0 && pid != crashed);
            ::kill(pid_t(pid), SIGSEGV);
            if (crash < 4)
                QVERIFY(pageLoaded(path, crash));
        }
        QTRY_VERIFY(visible(QStringLiteral("placeholder")));
        QCOMPARE(text(QStringLiteral("placeholderButton")), QStringLiteral("重新加载"));
        QCOMPARE(pages_->requests.value(path), 4);
        click(QStringLiteral("placeholderButton"));
        QVERIFY(pageLoaded(path, 4));
        QVERIFY(!visible(QStringLiteral("placeholder")));

        const QMetaObject *type = pageView()->metaObject();
        const QMetaMethod ended =
            type->method(type->indexOfSignal("renderProcessTerminated(RenderProcessTerminationStatus,int)"));
        const int normal = 0;
        QVERIFY(ended.invoke(pageView(), QGenericArgument(ended.parameterTypeName(0), &normal), Q_ARG(int, 0)));
        QTest::qWait(500);
        QCOMPARE(pages_->requests.value(path), 5);
    }

    // A download asks where to go, starting in the downloads folder with the page's name for it.
    // A cancelled choice saves nothing; a file already there is replaced only once confirmed.
    void downloadAsksWhereToSave()
    {
        QVERIFY(showPage(QStringLiteral("/")));
        const QDir downloads(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
        const QString path = downloads.filePath(QStringLiteral("report.txt"));
        const auto content = [&] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QFile old(path);
        QVERIFY(downloads.mkpath(QStringLiteral(".")) && old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        QObject *chooser = find(QStringLiteral("downloadChooser"));
        QObject *confirmation = find(QStringLiteral("replaceConfirmation"));
        const auto download = [&] {
            runJavaScript(QStringLiteral("location = '/download/report.txt'"));
            return QTest::qWaitFor([&] { return chooser->property("visible").toBool(); })
                && chooser->property("selectedFile").toUrl() == QUrl::fromLocalFile(path);
        };
        const auto answer = [](QObject *dialog, const char *method, QObject *next) {
            QMetaObject::invokeMethod(dialog, method);
            return QTest::qWaitFor([&] { return next->property("visible").toBool(); });
        };
        QVERIFY(download());
        QMetaObject::invokeMethod(chooser, "reject");
        QVERIFY(download());
        QVERIFY(answer(chooser, "accept", confirmation));
        QVERIFY(answer(confirmation, "reject", chooser));
        QCOMPARE(content(), QByteArray("old"));
        QVERIFY(answer(chooser, "accept", confirmation));
        QMetaObject::invokeMethod(confirmation, "accept");
        QTRY_COMPARE(content(), QByteArray("new"));
        QCOMPARE(downloads.entryList(QDir::Files | QDir::Hidden), QStringList({QStringLiteral("report.txt")}));
        const QDir cache(QStandardPaths::writableLocation(QStandardPaths::CacheLocation));
        for (const QString &staging : cache.entryList({QStringLiteral("download-*")}, QDir::Dirs))
            QCOMPARE(QDir(cache.filePath(staging)).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void pageGetsNothingFromACancelledChooser()
    {
        QVERIFY(showPage(QStringLiteral("/chooser")));
        QObject *chooser = find(QStringLiteral("fileChooser"));
        const QPointF input = qobject_cast<QQuickItem *>(pageView())->mapToScene(QPointF(150, 130));
        QTest::mouseClick(window_, Qt::LeftButton, Qt::NoModifier, input.toPoint());
        QTRY_VERIFY(chooser->property("visible").toBool());
        QCOMPARE(chooser->property("title").toString(), QStringLiteral("选择要打印的文件"));
        QCOMPARE(chooser->property("acceptLabel").toString(), QStringLiteral("选择"));
        QMetaObject::invokeMethod(chooser, "reject");
        runJavaScript(QStringLiteral("document.title = document.getElementById('file').files.length + ',' + changes"));
        QTRY_COMPARE(pageView()->property("title").toString(), QStringLiteral("0,0"));
    }

    // The settings shortcut and menu item open one window, from any window, and bring it back
    // when asked again; the form is 520 wide with 24 around it, and the height is the form's.
    void oneWindowFollowingItsContent()
    {
        QVERIFY(settingsWindows().isEmpty());
        QVERIFY(openSettings(window_));
        QVERIFY(openSettings(settings()));
        QMetaObject::invokeMethod(find(QStringLiteral("settingsMenuItem")), "triggered");
        QCOMPARE(settingsWindows().size(), 1);

        QQuickItem *view = item(QStringLiteral("settingsView"));
        QCOMPARE(QRectF(view->x(), view->y(), view->width(), 0), QRectF(24, 24, 520, 0));
        QCOMPARE(settings()->width(), 568);
        QTRY_COMPARE(settings()->height(), int(view->height()) + 48);
    }

    // "移除打印服务…" only asks, from the keyboard too. Each way of answering but the removal
    // leaves everything as it was, and the confirmation is closed again, also in a window opened
    // afresh.
    void dismissingRemovesNothing_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("取消") << "cancel";
        QTest::newRow("Return, 取消 has the focus") << "return";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("closing the window") << "close";
    }
    void dismissingRemovesNothing()
    {
        QFETCH(QString, answer);
        QVERIFY(show(statusOf(true, true)));
        QVERIFY(openSettings(window_));
        const int before = uninstalls();
        int controls = 0; // Tab reaches every control of the window and of the confirmation, each named
        QCOMPARE(unreachableOrUnnamedControls(settings()->contentItem(), controls), QStringList());
        QVERIFY(controls >= 6);
        item(removeButton)->forceActiveFocus(Qt::TabFocusReason);
        QTest::keyClick(settings(), Qt::Key_Return);
        QTRY_VERIFY(confirmationShows());
        QVERIFY(!controller().isBusy());
        auto *dialog = read(confirmation, "contentItem").value<QQuickItem *>()->parentItem();
        QCOMPARE(unreachableOrUnnamedControls(dialog, controls), QStringList());
        QCOMPARE(controls, 2);

        if (answer == QStringLiteral("cancel")) {
            clickItem(item(QStringLiteral("cancelRemovalButton")));
        } else if (answer == QStringLiteral("return")) {
            QTest::keyClick(settings(), Qt::Key_Return);
        } else if (answer == QStringLiteral("escape")) {
            QTest::keyClick(settings(), Qt::Key_Escape);
        } else {
            settings()->close();
            QTRY_VERIFY(!settings());
            QVERIFY(openSettings(window_));
        }
        QTRY_VERIFY(!confirmationShows());
        settle(); // a removal would have run by now
        QCOMPARE(uninstalls(), before);
        QVERIFY(controller().status().installed);
        QVERIFY(read(removeButton, "enabled").toBool());
    }

    // Two quick presses of "移除并保留数据" run one removal; the status read after it shows in
    // both windows at once.
    void removesOnce()
    {
        QVERIFY(show(statusOf(true, true)) && openSettings(window_));
        const int before = uninstalls();
        clickItem(item(removeButton));
        QTRY_VERIFY(confirmationShows());
        scripts_.set(QStringLiteral("uninstall.sleep"), "1");
        QObject *remove = item(QStringLiteral("confirmRemovalButton"));
        QMetaObject::invokeMethod(remove, "clicked");
        QMetaObject::invokeMethod(remove, "clicked");
        QVERIFY(controller().isBusy());
        QVERIFY(!confirmationShows());
        QVERIFY(!read(removeButton, "enabled").toBool());
        scripts_.setStatus(statusOf(false, false));
        QVERIFY(waitUntilIdle());
        scripts_.set(QStringLiteral("uninstall.sleep"), {});
        QCOMPARE(uninstalls() - before, 1);
        QCOMPARE(read(QStringLiteral("settingsVersionRow"), "value").toString(), QStringLiteral("未安装"));
        for (const QString control :
             {"settingsAutoStartSwitch", "settingsLogsButton", "settingsDataButton", "removeServiceButton"})
            QVERIFY2(!read(control, "enabled").toBool(), qPrintable(control));
        QCOMPARE(readMain(QStringLiteral("statusTitle"), "text").toString(), QStringLiteral("尚未启用"));
    }

    // The switch asks the installer and then shows what the status says, not what was clicked.
    void switchShowsTheStatus_data()
    {
        QTest::addColumn<bool>("autoStart");
        QTest::addColumn<QString>("command");
        QTest::newRow("on") << false << "enable";
        QTest::newRow("off") << true << "disable";
    }
    void switchShowsTheStatus()
    {
        QFETCH(bool, autoStart);
        QFETCH(QString, command);
        QVERIFY(show(statusOf(true, true, false, false, autoStart)) && openSettings(window_));
        const int before = scripts_.callCount(command);
        scripts_.set(command + QStringLiteral(".sleep"), "0.5");
        clickItem(item(QStringLiteral("settingsAutoStartSwitch")));
        QVERIFY(controller().isBusy());
        QCOMPARE(read(QStringLiteral("settingsAutoStartSwitch"), "checked").toBool(), autoStart);
        QVERIFY(!read(QStringLiteral("settingsAutoStartSwitch"), "enabled").toBool());
        QVERIFY(waitUntilIdle());
        scripts_.set(command + QStringLiteral(".sleep"), {});
        QCOMPARE(scripts_.callCount(command) - before, 1);
        QCOMPARE(read(QStringLiteral("settingsAutoStartSwitch"), "checked").toBool(), autoStart);
    }

    // A failed read shows its message once, in the window the user works in, until "好" clears it
    // or a read that succeeds takes it away.
    void errorAlertWhereTheUserIs_data()
    {
        QTest::addColumn<bool>("inSettings"); // and closed by a read, else by "好"
        QTest::newRow("main window, 好") << false;
        QTest::newRow("settings window, read again") << true;
    }
    void errorAlertWhereTheUserIs()
    {
        QVERIFY(openSettings(window_));
        QQuickWindow *here = FETCHED(bool, inSettings) ? settings() : window_;
        here->requestActivate();
        QTRY_VERIFY(here->isActive());
        scripts_.set(QStringLiteral("status.exit"), "3");
        controller().refresh(false);
        QObject *alert = findNamed(here, QStringLiteral("errorAlert"));
        QTRY_VERIFY(alert->property("visible").toBool());
        QObject *elsewhere = findNamed(here == window_ ? settings() : window_, QStringLiteral("errorAlert"));
        QVERIFY(!elsewhere->property("visible").toBool());
        QCOMPARE(findNamed(here, QStringLiteral("errorText"))->property("text").toString(),
                 controller().errorMessage().value_or(QString()));
        if (here == window_) {
            clickItem(qobject_cast<QQuickItem *>(findNamed(here, QStringLiteral("errorOkButton"))));
            QCOMPARE(controller().errorMessage(), std::nullopt);
        }
        scripts_.set(QStringLiteral("status.exit"), {});
        QTRY_COMPARE(controller().errorMessage(), std::nullopt);
        QVERIFY(!alert->property("visible").toBool());
    }
};

// The test runs with a temporary home and the web engine set up as the program does it.
int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral(".cache"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral(".local/share"))));
    prepareWebEngine();
    QGuiApplication application(argc, argv);
    configureApplication(application);
    WindowsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_windows.moc"
