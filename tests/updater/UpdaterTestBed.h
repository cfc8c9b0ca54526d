#pragma once

#include "AppBundle.h"
#include "FakeBundle.h"
#include "UpdaterEnvironment.h"

#include <QSet>
#include <QTemporaryDir>

#include <optional>

// A temporary home, caches folder and mount point parent for one updater test, with fixture tools that record their calls.
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

    // Puts this bed's values for {prepare} and {install} (valid command lines), {home}, {cache}, {staged}, {target}, {image}, {mount} and {<tool>}.
    QString fill(QString text) const;
    QStringList arguments(const QString &line) const { return fill(line).split(u'|'); }
    void steer(const QStringList &settings);  // "NAME=value" for the fixture tools, filled

    static bool writeManager(const QString &path, const QString &version, qint64 build) { return FakeBundle::write(path, FakeBundle::managerInfo(version, build)); }
    static QString versionAt(const QString &path) { return AppBundle(path).infoValue(QStringLiteral("CFBundleShortVersionString")).toString(); }

    int run(const QStringList &arguments, std::optional<UpdaterEnvironment> environment = {});
    // Also checks that it failed with `message` (or succeeded) and logged `log`, where {message} is the message, "…" any text.
    void runAndCheck(const QString &arguments, const QString &message, const QStringList &log,
                     std::optional<UpdaterEnvironment> environment = {});

    QStringList fixtureRecord(const QString &name = QStringLiteral("calls")) const;  // or "opened"
    QSet<QString> entries(const QString &folder) const;  // including hidden ones

private:
    QTemporaryDir root_;
    QByteArray standardError_;
    QList<QByteArray> steered_;
};
