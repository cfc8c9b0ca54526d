#include "WindowTestSupport.h"

#include "FakeBundle.h"

#include <QAccessible>
#include <QQuickItem>
#include <QSet>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(QuilloEdgeUiPlugin)
Q_IMPORT_QML_PLUGIN(QuilloEdgeControllerPlugin)

ScriptedManager::ScriptedManager(const ServiceStatus &initial)
{
    scripts.setStatus(initial);
    const QString bundle = scripts.filePath(QStringLiteral("Applications/Quillo Edge.app"));
    FakeBundle::write(bundle, FakeBundle::managerInfo(QStringLiteral("1.4.0"), 27));
    ServiceControllerSetup setup;
    setup.bundle = AppBundle(bundle);
    setup.managerManifestURL = QUrl(QStringLiteral("https://127.0.0.1:9/manager.json"));
    setup.serverManifestURL = QUrl(QStringLiteral("https://127.0.0.1:9/server.json"));
    setup.homeDirectory = scripts.path();
    setup.cachesDirectory = scripts.filePath(QStringLiteral("caches"));
    setup.quitApplication = [] {};
    setup.pollInterval = std::chrono::milliseconds(300);
    controller_ = std::make_unique<ServiceController>(std::move(setup));
}

bool ScriptedManager::show(const ServiceStatus &status)
{
    scripts.setStatus(status);
    const int reads = scripts.callCount(QStringLiteral("status"));
    controller_->refresh(false);
    const bool shown = QTest::qWaitFor(
        [&] { return scripts.callCount(QStringLiteral("status")) > reads && controller_->status() == status; }, 10000);
    QTest::qWait(100); // the read's task ends once its script has exited
    return shown;
}

bool ScriptedManager::waitUntilIdle() const
{
    return QTest::qWaitFor([&] { return !controller_->isBusy(); }, 10000);
}

ServiceStatus statusOf(bool installed, bool managed, bool running, bool healthy, bool autoStart)
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

LoadedWindow::LoadedWindow(ServiceController &controller)
{
    engine_.addImportPath(QStringLiteral("qrc:/"));
    QObject::connect(&engine_, &QQmlApplicationEngine::warnings, [this](const QList<QQmlError> &warnings) {
        for (const QQmlError &warning : warnings)
            error_ += warning.toString() + QLatin1Char('\n');
    });
    engine_.setInitialProperties({{QStringLiteral("controller"), QVariant::fromValue(&controller)}});
    engine_.load(QUrl(QStringLiteral("qrc:/QuilloEdge/Main.qml")));
    if (!engine_.rootObjects().isEmpty())
        window_ = qobject_cast<QQuickWindow *>(engine_.rootObjects().constFirst());
    if (!window_)
        error_ += QStringLiteral("no window was created\n");
    else if (!QTest::qWaitForWindowExposed(window_))
        error_ += QStringLiteral("the window was never shown\n");
}

QObject *LoadedWindow::find(const QString &objectName) const
{
    return findNamed(window_, objectName);
}

QObject *findNamed(const QWindow *window, const QString &objectName)
{
    QObject *object = window ? window->findChild<QObject *>(objectName) : nullptr;
    if (!object)
        QTest::qFail(qPrintable(QStringLiteral("no object named ") + objectName), __FILE__, __LINE__);
    return object;
}

QVariant LoadedWindow::read(const QString &objectName, const char *property) const
{
    const QObject *object = find(objectName);
    return object ? object->property(property) : QVariant();
}

void LoadedWindow::click(const QString &objectName) const
{
    clickItem(qobject_cast<QQuickItem *>(find(objectName)));
}

void clickItem(QQuickItem *item)
{
    if (!item || !item->window())
        return;
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(item->window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

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
