#include "UpdaterTestBed.h"

#include "AppBundle.h"
#include "FakeBundle.h"
#include "Fixtures.h"
#include "UpdaterEntry.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace {

const char *const steeringVariables[] = {
    "QUILLO_FIXTURE_CALLS", "QUILLO_FAKE_OPENED", "QUILLO_FAKE_ATTACH", "QUILLO_FAKE_DETACH",
    "QUILLO_FAKE_DITTO_FAIL", "QUILLO_FAKE_VERIFY_REJECT", "QUILLO_FAKE_DISPLAY_FAIL",
    "QUILLO_FAKE_TEAM_LINE", "QUILLO_FAKE_TEAM_ON_STDOUT", "QUILLO_FAKE_ASSESS_REJECT",
    "QUILLO_FAKE_OPEN_REJECT", "QUILLO_FAKE_OPEN_TAKE_BACKUP",
};

QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

UpdaterTestBed::UpdaterTestBed()
{
    for (const char *folder : {"home/Applications", "caches", "mounts"})
        QDir(root_.path()).mkpath(QString::fromLatin1(folder));
    steer("QUILLO_FIXTURE_CALLS", root_.filePath(QStringLiteral("calls.txt")));
    steer("QUILLO_FAKE_OPENED", root_.filePath(QStringLiteral("opened.txt")));
}

UpdaterTestBed::~UpdaterTestBed()
{
    for (const char *name : steeringVariables)
        qunsetenv(name);
}

bool UpdaterTestBed::isValid() const
{
    return root_.isValid();
}

UpdaterEnvironment UpdaterTestBed::environment() const
{
    UpdaterEnvironment environment;
    environment.homeDirectory = home();
    environment.cachesDirectory = root_.filePath(QStringLiteral("caches"));
    environment.mountPointParent = mountPointParent();
    environment.tools = {tool(QStringLiteral("fake-hdiutil")), tool(QStringLiteral("fake-ditto")),
                         tool(QStringLiteral("fake-codesign")), tool(QStringLiteral("fake-spctl")),
                         tool(QStringLiteral("fake-open"))};
    environment.exitDeadline = std::chrono::seconds(10);
    environment.exitProbeInterval = std::chrono::milliseconds(20);
    return environment;
}

QString UpdaterTestBed::home() const
{
    return root_.filePath(QStringLiteral("home"));
}

QString UpdaterTestBed::updateCache() const
{
    return root_.filePath(QStringLiteral("caches/Quillo Updates"));
}

QString UpdaterTestBed::mountPointParent() const
{
    return root_.filePath(QStringLiteral("mounts"));
}

QString UpdaterTestBed::targetApp() const
{
    return home() + QStringLiteral("/Applications/Quillo Edge.app");
}

QString UpdaterTestBed::tool(const QString &name) const
{
    return fixturePath(name);
}

bool UpdaterTestBed::writeManager(const QString &bundlePath, const QString &version, qint64 build)
{
    if (!FakeBundle::write(bundlePath, FakeBundle::managerInfo(version, build)))
        return false;
    QFile executable(bundlePath + QStringLiteral("/Contents/MacOS/QuilloEdge"));
    return executable.open(QIODevice::WriteOnly) && executable.write("#!/bin/sh\n") > 0
        && executable.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                     | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
}

QString UpdaterTestBed::versionAt(const QString &bundlePath)
{
    return AppBundle(bundlePath).infoValue(QStringLiteral("CFBundleShortVersionString")).toString();
}

UpdaterTestBed::Outcome UpdaterTestBed::run(const QStringList &arguments, const UpdaterEnvironment &environment) const
{
    QBuffer standardError;
    standardError.open(QIODevice::WriteOnly);
    Outcome outcome;
    outcome.exitCode = updaterEntry(arguments, environment, standardError);
    outcome.standardError = QString::fromUtf8(standardError.data());
    return outcome;
}

UpdaterTestBed::Outcome UpdaterTestBed::run(const QStringList &arguments) const
{
    return run(arguments, environment());
}

QStringList UpdaterTestBed::logMessages() const
{
    static const QRegularExpression stamped(QStringLiteral(R"(^\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ\] (.*)$)"));
    QStringList messages;
    for (const QString &line : fileLines(home() + QStringLiteral("/Library/Logs/Quillo Edge/updater.log"))) {
        const QRegularExpressionMatch match = stamped.match(line);
        if (match.hasMatch())
            messages.append(match.captured(1));
        else if (!messages.isEmpty())
            messages.last() += u'\n' + line;  // a message that holds line feeds
        else
            messages.append(QStringLiteral("<malformed> ") + line);
    }
    return messages;
}

QStringList UpdaterTestBed::toolCalls() const
{
    return fileLines(root_.filePath(QStringLiteral("calls.txt")));
}

QStringList UpdaterTestBed::opened() const
{
    return fileLines(root_.filePath(QStringLiteral("opened.txt")));
}

QStringList UpdaterTestBed::hiddenBundles() const
{
    return QDir(home() + QStringLiteral("/Applications"))
        .entryList({QStringLiteral(".Quillo Edge.*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

void UpdaterTestBed::steer(const char *name, const QString &value)
{
    qputenv(name, value.toUtf8());
}

void UpdaterTestBed::steer(const QStringList &settings)
{
    for (const QString &setting : settings) {
        const qsizetype equals = setting.indexOf(u'=');
        steer(setting.left(equals).toUtf8().constData(), setting.mid(equals + 1));
    }
}

qint64 UpdaterTestBed::finishedProcessId()
{
    QProcess process;
    process.start(QStringLiteral("/bin/true"), {});
    process.waitForStarted();
    const qint64 processId = process.processId();
    process.waitForFinished();
    return processId;
}
