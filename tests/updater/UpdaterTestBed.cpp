#include "UpdaterTestBed.h"

#include "AppBundle.h"
#include "FakeBundle.h"
#include "Fixtures.h"
#include "UpdaterEntry.h"

#include <QBuffer>
#include <QProcess>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const char *const steeringVariables[] = {
    "QUILLO_FIXTURE_CALLS", "QUILLO_FAKE_OPENED", "QUILLO_FAKE_ATTACH", "QUILLO_FAKE_DETACH",
    "QUILLO_FAKE_DITTO_FAIL", "QUILLO_FAKE_VERIFY_REJECT", "QUILLO_FAKE_DISPLAY_FAIL",
    "QUILLO_FAKE_TEAM_LINE", "QUILLO_FAKE_TEAM_ON_STDOUT", "QUILLO_FAKE_ASSESS_REJECT",
    "QUILLO_FAKE_OPEN_REJECT", "QUILLO_FAKE_OPEN_TAKE_BACKUP",
};

qint64 finishedProcessId()
{
    QProcess process;
    process.start(u"/bin/true"_s, {});
    process.waitForStarted();
    const qint64 processId = process.processId();
    process.waitForFinished();
    return processId;
}

} // namespace

UpdaterTestBed::UpdaterTestBed()
    : managerId_(finishedProcessId())
{
    for (const char *folder : {"home/Applications", "caches", "mounts"})
        QDir(root_.path()).mkpath(QString::fromLatin1(folder));
    steer({u"QUILLO_FIXTURE_CALLS="_s + root_.filePath(u"calls"_s), u"QUILLO_FAKE_OPENED="_s + root_.filePath(u"opened"_s)});
}

UpdaterTestBed::~UpdaterTestBed()
{
    for (const char *name : steeringVariables)
        qunsetenv(name);
}

UpdaterEnvironment UpdaterTestBed::environment() const
{
    UpdaterEnvironment environment;
    environment.homeDirectory = home();
    environment.cachesDirectory = root_.filePath(u"caches"_s);
    environment.mountPointParent = root_.filePath(u"mounts"_s);
    const QStringList tools = fill(u"{hdiutil}|{ditto}|{codesign}|{spctl}|{open}"_s).split(u'|');
    environment.tools = {tools[0], tools[1], tools[2], tools[3], tools[4]};
    environment.exitDeadline = std::chrono::seconds(10);
    environment.exitProbeInterval = std::chrono::milliseconds(20);
    return environment;
}

QString UpdaterTestBed::mountPoint() const
{
    const QStringList attached = fixtureRecord().filter(QRegularExpression(u"^hdiutil attach "_s));
    return attached.isEmpty() ? QString() : attached.constFirst().split(u' ').value(5);
}

QString UpdaterTestBed::fill(QString text) const
{
    text.replace(u"{prepare}"_s, u"prepare|--dmg|{image}|--staged-app|{staged}|--version|2.0.0|--build|42"_s);
    text.replace(u"{install}"_s, u"install|--staged-app|{staged}|--target-app|{target}|--work-dir|{cache}/work"
                                 "|--version|2.0.0|--build|2|--parent-pid|{pid}"_s);
    text.replace(u"{staged}"_s, u"{cache}/work/Quillo Edge.app"_s);
    text.replace(u"{cache}"_s, root_.filePath(u"caches/Quillo Updates"_s));
    text.replace(u"{target}"_s, targetApp());
    text.replace(u"{image}"_s, home() + u"/image"_s);
    text.replace(u"{home}"_s, home());
    text.replace(u"{pid}"_s, QString::number(managerId_));
    if (text.contains(u"{mount}"_s))
        text.replace(u"{mount}"_s, mountPoint());
    if (text.contains(u"{update}"_s)) {  // the update copy the copier was asked to make
        const QRegularExpression copy(QRegularExpression::escape(home() + u"/Applications/"_s)
                                      + uR"(\.Quillo Edge\.update-[0-9A-F-]{36}\.app$)"_s);
        const QStringList copies = fixtureRecord().filter(copy);
        text.replace(u"{update}"_s, copies.isEmpty() ? QString() : copy.match(copies.constFirst()).captured());
    }
    for (const char *tool : {"hdiutil", "ditto", "codesign", "spctl", "open"})
        text.replace(u"{%1}"_s.arg(QLatin1String(tool)), fixturePath(u"fake-"_s + QLatin1String(tool)));
    return text;
}

void UpdaterTestBed::steer(QStringList settings) const
{
    for (const QString &setting : settings)
        qputenv(setting.section(u'=', 0, 0).toUtf8().constData(), fill(setting.section(u'=', 1)).toUtf8());
}

bool UpdaterTestBed::writeManager(const QString &bundlePath, const QString &version, qint64 build)
{
    QFile executable(bundlePath + u"/Contents/MacOS/QuilloEdge"_s);
    return FakeBundle::write(bundlePath, FakeBundle::managerInfo(version, build))
        && executable.open(QIODevice::WriteOnly) && executable.write("#!/bin/sh\n") > 0
        && executable.setPermissions(executable.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
}

QString UpdaterTestBed::versionAt(const QString &bundlePath)
{
    return AppBundle(bundlePath).infoValue(u"CFBundleShortVersionString"_s).toString();
}

int UpdaterTestBed::run(const QStringList &arguments, const UpdaterEnvironment &environment) const
{
    QBuffer standardError;
    standardError.open(QIODevice::WriteOnly);
    return updaterEntry(arguments, environment, standardError);
}

void UpdaterTestBed::runAndCheck(const QStringList &arguments, QString message, QStringList log,
                                 const UpdaterEnvironment &environment) const
{
    QBuffer standardError;
    standardError.open(QIODevice::WriteOnly);
    const int exitCode = updaterEntry(arguments, environment, standardError);
    message = fill(message);
    for (QString &line : log)
        line = fill(line).replace(u"{message}"_s, message);
    QCOMPARE(QString::fromUtf8(standardError.data()), message.isEmpty() ? QString() : message + u'\n');
    QCOMPARE(exitCode, message.isEmpty() ? 0 : 1);

    // Messages in order; a line without a UTC stamp continues the message before it.
    static const QRegularExpression stamped(uR"(^\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ\] (.*)$)"_s);
    QFile file(home() + u"/Library/Logs/Quillo Edge/updater.log"_s);
    QStringList messages;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch match = stamped.match(line);
            messages.append(match.hasMatch() ? match.captured(1)
                            : messages.isEmpty() ? u"<malformed> "_s + line : messages.takeLast() + u'\n' + line);
        }
    }
    for (qsizetype index = 0; index < qMin(messages.size(), log.size()); ++index) {
        if (log[index].endsWith(u'…') && messages[index].startsWith(log[index].chopped(1)))
            messages[index] = log[index];
    }
    QCOMPARE(messages, log);
}

QStringList UpdaterTestBed::fixtureRecord(const QString &name) const
{
    QFile file(root_.filePath(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                          : QStringList();
}

QStringList UpdaterTestBed::entries(const QString &folder) const
{
    return QDir(fill(folder)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden | QDir::System);
}
