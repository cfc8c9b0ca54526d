#include "ServiceController.h"

#include <QGuiApplication>

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Quillo Edge"));
    QGuiApplication::setQuitOnLastWindowClosed(false);

    // One controller for the application's lifetime; the windows bind to it.
    ServiceController controller;
    return application.exec();
}
