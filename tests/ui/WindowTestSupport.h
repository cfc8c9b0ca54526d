#pragma once

#include "Scripts.h"
#include "ServiceController.h"

#include <QObject>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QVariantMap>

class QQuickItem;

// The manager's controller over the scripted installer (tests/fixtures, reached through the real
// override) and a manager bundle in a temporary home; its feed refuses every connection.
class ScriptedManager
{
public:
    explicit ScriptedManager(const ServiceStatus &initial);
    ~ScriptedManager() { controller_.reset(); }

    ServiceController &controller() { return *controller_; }
    // Serves status and waits until a refresh has read it and windows bound to it show it.
    bool show(const ServiceStatus &status);
    bool waitUntilIdle() const;

    const Scripts scripts;

private:
    std::unique_ptr<ServiceController> controller_;
};

// A service with nothing listening at its address, so a page view shows an error page.
ServiceStatus statusOf(bool installed, bool managed, bool running = false, bool healthy = false,
                       bool autoStart = false);

// The main window of the manager's QML module over controller, loaded as the application loads it.
class LoadedWindow
{
public:
    explicit LoadedWindow(ServiceController &controller);

    QQuickWindow *window() const { return window_; }
    QString error() const { return error_; }

    // The item or object of that objectName; fails the test when there is none.
    QObject *find(const QString &objectName) const;
    QVariant read(const QString &objectName, const char *property) const;
    // A left click in the middle of the item, as the user makes it.
    void click(const QString &objectName) const;

private:
    QQmlApplicationEngine engine_;
    QQuickWindow *window_ = nullptr;
    QString error_;
};

// The item or object of that objectName in window; fails the test when there is none.
QObject *findNamed(const QWindow *window, const QString &objectName);
// A left click in the middle of the item, as the user makes it.
void clickItem(QQuickItem *item);
// The visible controls inside scope (a window's root item, a popup's item) that Tab does not
// reach while enabled, or that have no name for screen readers; controls receives how many
// visible controls there are.
QStringList unreachableOrUnnamedControls(QQuickItem *scope, int &controls);

// Every window test runs with a temporary home and the web engine set up as the program does it.
#define QUILLO_WINDOW_TEST_MAIN(TestClass)                                                                   \
    int main(int argc, char **argv)                                                                         \
    {                                                                                                       \
        QTemporaryDir home;                                                                                 \
        qputenv("HOME", QFile::encodeName(home.path()));                                                    \
        qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral(".cache"))));             \
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral(".local/share"))));        \
        prepareWebEngine();                                                                                 \
        QGuiApplication application(argc, argv);                                                            \
        configureApplication(application);                                                                  \
        TestClass test;                                                                                     \
        return QTest::qExec(&test, argc, argv);                                                             \
    }
