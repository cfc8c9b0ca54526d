#include "ApplicationSetup.h"
#include "ServiceController.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(QuilloEdgeUiPlugin)
Q_IMPORT_QML_PLUGIN(QuilloEdgeControllerPlugin)

int main(int argc, char *argv[])
{
    prepareWebEngine();
    QGuiApplication application(argc, argv);
    configureApplication(application);

    // One controller for the application's lifetime, shared by every window.
    ServiceController controller;

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.setInitialProperties({{QStringLiteral("controller"), QVariant::fromValue(&controller)}});
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, &application, [] { QCoreApplication::exit(1); },
        Qt::QueuedConnection);
    engine.load(QUrl(QStringLiteral("qrc:/QuilloEdge/Main.qml")));
    return application.exec();
}
