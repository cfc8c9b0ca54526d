#pragma once

#include "UpdaterEnvironment.h"

#include <QStringList>
#include <QTemporaryDir>

#include <optional>

// A private world for one updater test: a temporary home with an Applications folder, a caches
// folder, a mount point parent and the fixture tools, which record what they were asked to do.
class UpdaterTestBed
{
public:
    static constexpr qint64 managerId = 2147483647;  // a process id no system hands out

    UpdaterTestBed();
    ~UpdaterTestBed();  // forgets the settings made with steer()

    UpdaterEnvironment environment() const;
    QString home() const { return root_.filePath(QStringLiteral("home")); }
    QString targetApp() const { return fill(QStringLiteral("{target}")); }
    QString stagedApp() const { return fill(QStringLiteral("{staged}")); }
    QString mountPoint() const;  // the one the disk-image tool was asked to use

    // Replaces {prepare} and {install} (valid command lines, split at "|"), {home}, {cache},
    // {staged}, {target}, {image}, {mount} and {<tool>} with this bed's values.
    QString fill(QString text) const;
    QStringList arguments(const QString &line) const { return fill(line).split(u'|'); }
    void steer(const QStringList &settings);  // "NAME=value" for the fixture tools, filled

    static bool writeManager(const QString &bundlePath, const QString &version, qint64 build);
    static QString versionAt(const QString &bundlePath);  // empty when there is none

    int run(const QStringList &arguments, std::optional<UpdaterEnvironment> environment = {});
    // Runs the updater and checks that it failed with `message` (or succeeded, when it is empty)
    // and logged `log`, all filled; {message} in the log is the message, "…" any text.
    void runAndCheck(const QString &arguments, const QString &message, const QStringList &log,
                     std::optional<UpdaterEnvironment> environment = {});

    QStringList fixtureRecord(const QString &name = QStringLiteral("calls")) const;  // or "opened"
    QStringList entries(const QString &folder) const;  // including hidden ones

private:
    QTemporaryDir root_;
    QByteArray standardError_;
    QList<QByteArray> steered_;
};
