#pragma once

#include "UpdaterEnvironment.h"

#include <QStringList>
#include <QTemporaryDir>

// A private world for one updater test: a temporary home with an Applications folder, a caches
// folder, a mount point parent and the fixture tools, which report what they were asked to do.
// Settings made with steer() last as long as the bed.
class UpdaterTestBed
{
public:
    UpdaterTestBed();
    ~UpdaterTestBed();

    UpdaterEnvironment environment() const;
    QString home() const { return root_.filePath(QStringLiteral("home")); }
    QString targetApp() const { return home() + QStringLiteral("/Applications/Quillo Edge.app"); }
    QString stagedApp() const { return fill(QStringLiteral("{staged}")); }
    QString mountPoint() const;  // the one the disk-image tool was asked to use
    qint64 managerId() const { return managerId_; }  // a process that has already ended

    // Replaces {prepare} and {install} (valid command lines, split at "|"), {home}, {cache},
    // {staged}, {target}, {image}, {mount}, {pid}, {update} and {<tool>} with this bed's values.
    QString fill(QString text) const;
    QStringList arguments(const QString &line) const { return fill(line).split(u'|'); }
    void steer(QStringList settings) const;  // "NAME=value" for the fixture tools, filled

    static bool writeManager(const QString &bundlePath, const QString &version, qint64 build);
    static QString versionAt(const QString &bundlePath);  // empty when there is none

    // Runs the updater and checks that it failed with `message` (or succeeded, when it is
    // empty) and logged `log`, both filled after the run, with {message} in the log; an
    // expected log message ending in "…" need only begin alike.
    void runAndCheck(const QStringList &arguments, QString message, QStringList log,
                     const UpdaterEnvironment &environment) const;
    void runAndCheck(const QStringList &arguments, const QString &message, const QStringList &log) const
    {
        runAndCheck(arguments, message, log, environment());
    }
    int run(const QStringList &arguments, const UpdaterEnvironment &environment) const;
    int run(const QStringList &arguments) const { return run(arguments, environment()); }

    QStringList fixtureRecord(const QString &name = QStringLiteral("calls")) const;  // or "opened"
    QStringList entries(const QString &folder) const;  // including hidden ones

private:
    QTemporaryDir root_;
    qint64 managerId_;
};
