#include "ApplicationSetup.h"
#include "ControllerSetup.h"
#include "ServiceController.h"
#include "SingleInstance.h"
#include "StartupFrames.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(QuilloEdgeUiPlugin)
Q_IMPORT_QML_PLUGIN(QuilloEdgeControllerPlugin)

namespace {

void bringForward(const QQmlApplicationEngine &engine)
{
    for (QObject *object : engine.rootObjects()) {
        if (auto *window = qobject_cast<QQuickWindow *>(object)) {
            window->show();
            window->raise();
            window->requestActivate();
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    prepareWebEngine();
    QGuiApplication application(argc, argv);

    // A manager already running for this user comes forward instead.
    SingleInstance instance;
    if (instance.claim() == SingleInstance::Role::secondary)
        return 0;

    configureApplication(application);

    // One controller for the application's lifetime, shared by every window.
    ServiceController controller(controllerSetup());

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.setInitialProperties({{QStringLiteral("controller"), QVariant::fromValue(&controller)}});
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, &application, [] { QCoreApplication::exit(1); },
        Qt::QueuedConnection);
    QObject::connect(&instance, &SingleInstance::raiseRequested, &engine, [&engine] { bringForward(engine); });
    // The window polls while it is open; its first read starts now, beside the window's making,
    // so the first frames can show it.
    controller.startPolling();
    engine.load(QUrl(QStringLiteral("qrc:/QuilloEdge/Main.qml")));
    if (auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0)))
        logStartupFrames(window, controller);
    return application.exec();
}
