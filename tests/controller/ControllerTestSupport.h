#pragma once

#include "ServiceController.h"
#include "ServiceStatus.h"

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
    void setFile(const QString &command, const QString &kind, const QByteArray &content);
    void removeFile(const QString &command, const QString &kind);
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
    void setFile(const QString &name, const QByteArray &content);
    bool hasFile(const QString &name) const;
    QStringList lines(const QString &name) const;

private:
    QTemporaryDir state_;
};

// A healthy, managed print service of that version.
ServiceStatus runningStatus(const QString &version = QStringLiteral("2.0.1"));

// A manager bundle with that version and build, in <home>/Applications unless told otherwise.
QString makeManagerBundle(const QString &folder, const QString &version, qint64 build);

// Points HOME and the caches folder into a temporary folder for its lifetime, so no test can
// touch the real ones.
class TemporaryHome
{
public:
    TemporaryHome();

private:
    QTemporaryDir home_;
};

#define QUILLO_CONTROLLER_TEST_MAIN(TestClass)                                                            \
    int main(int argc, char **argv)                                                                      \
    {                                                                                                    \
        TemporaryHome home;                                                                              \
        QGuiApplication application(argc, argv);                                                         \
        TestClass test;                                                                                  \
        return QTest::qExec(&test, argc, argv);                                                          \
    }
