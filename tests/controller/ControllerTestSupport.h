#pragma once

#include "LocalHttpsServer.h"
#include "ServiceController.h"
#include "ServiceStatus.h"
#include "TestCertificate.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

// The scripted installer (tests/fixtures/installer-scripted.sh), reached through the real
// QUILLO_MANAGER_INSTALLER override. Each instance has its own state folder.
class InstallerFixture
{
public:
    InstallerFixture();
    ~InstallerFixture();

    QString scriptPath() const;
    void setStatus(const ServiceStatus &status);
    // <command>.stdout, .stderr, .sleep or .exit; empty content removes the file.
    void set(const QString &command, const QString &kind, const QByteArray &content);
    // Every run so far, arguments after the script path.
    QList<QStringList> calls() const;
    int callCount(const QString &command) const;

private:
    QTemporaryDir state_;
};

// The scripted updater (tests/fixtures/updater-scripted.sh) through QUILLO_MANAGER_UPDATER.
class UpdaterFixture
{
public:
    UpdaterFixture();
    ~UpdaterFixture();

    QString path() const { return state_.filePath(QStringLiteral("bin/QuilloEdgeUpdater")); }
    void set(const QString &name, const QByteArray &content);
    bool has(const QString &name) const;
    QStringList lines(const QString &name) const;

private:
    QTemporaryDir state_;
};

// A healthy, managed print service of that version.
ServiceStatus runningStatus(const QString &version = QStringLiteral("2.0.1"));
// One progress event line of the installer.
QByteArray eventLine(int progress, const QString &message);
// A manager bundle of that version and build in folder; empty when it could not be written.
QString makeManagerBundle(const QString &folder, const QString &version = QStringLiteral("1.4.0"), qint64 build = 27);

// What every controller under test reaches: a local feed (unknown paths answer 404), a home
// folder holding a manager 1.4.0 (27) in its Applications folder, a settable clock and a quit
// action that only counts.
class ControllerHarness
{
public:
    ControllerHarness();
    QString error() const; // empty when ready

    LocalHttpsServer &feed() { return *feed_; }
    QString home() const { return home_.path(); }
    QString cachesPath() const { return home_.filePath(QStringLiteral("caches")); }
    QString bundlePath() const { return bundlePath_; }
    int requestCount(const QString &path) const;

    std::unique_ptr<ServiceController> make(const QString &bundle = {});

    QDateTime now = QDateTime(QDate(2025, 3, 1), QTime(9, 0), Qt::UTC);
    QElapsedTimer clock;
    // Where the print service manifest is fetched from instead of the local feed, when set.
    QUrl serverManifestOverride;
    int quitCalls = 0;
    qint64 quitAt = -1;

    static const QString managerPath;
    static const QString serverPath;

private:
    TestCertificate certificate_;
    std::unique_ptr<LocalHttpsServer> feed_;
    QTemporaryDir home_;
    QString bundlePath_;
};

// Waits, processing events, until the controller has no command running.
bool waitUntilIdle(const ServiceController &controller);
// Refreshes and waits for a successful status read and the update check it may start.
bool refreshAndWait(ServiceController &controller, bool silent = false);

// HOME and the caches folder point into a temporary folder, so no test touches the real ones.
#define QUILLO_CONTROLLER_TEST_MAIN(TestClass)                                                            \
    int main(int argc, char **argv)                                                                      \
    {                                                                                                    \
        QTemporaryDir home;                                                                              \
        qputenv("HOME", QFile::encodeName(home.path()));                                                 \
        qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral(".cache"))));          \
        QGuiApplication application(argc, argv);                                                         \
        TestClass test;                                                                                  \
        return QTest::qExec(&test, argc, argv);                                                          \
    }
