#pragma once

#include "UpdaterEnvironment.h"

#include <QStringList>
#include <QTemporaryDir>

// A private world for one updater test: a temporary home with an Applications folder, a caches
// folder, a mount point parent and the fixture tools, which report what they were asked to do.
class UpdaterTestBed
{
public:
    UpdaterTestBed();
    ~UpdaterTestBed();

    bool isValid() const;
    UpdaterEnvironment environment() const;

    QString home() const;
    QString updateCache() const;   // <caches>/Quillo Updates
    QString mountPointParent() const;
    QString targetApp() const;     // <home>/Applications/Quillo Edge.app
    QString tool(const QString &name) const;

    // A manager bundle with an XML Info.plist and an executable, as a signed build would have.
    static bool writeManager(const QString &bundlePath, const QString &version, qint64 build);
    // The version a bundle carries, or an empty text when there is none.
    static QString versionAt(const QString &bundlePath);

    struct Outcome
    {
        int exitCode = -1;
        QString standardError;
    };
    Outcome run(const QStringList &arguments, const UpdaterEnvironment &environment) const;
    Outcome run(const QStringList &arguments) const;

    // Messages of the update log in order. A line without a UTC stamp continues the message
    // before it; at the top it shows as "<malformed> " + the line.
    QStringList logMessages() const;
    QStringList toolCalls() const;
    QStringList opened() const;   // "path version" per bundle the opener started
    QStringList hiddenBundles() const;  // update copies and backups beside the target

    // Sets a variable that steers the fixture tools; all are cleared with the bed.
    static void steer(const char *name, const QString &value);
    // The same for "NAME=value" settings.
    static void steer(const QStringList &settings);

    // The id of a process that has already ended.
    static qint64 finishedProcessId();

private:
    QTemporaryDir root_;
};
