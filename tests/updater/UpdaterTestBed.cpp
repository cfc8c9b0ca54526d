#include "UpdaterTestBed.h"

#include "Fixtures.h"
#include "UpdaterEntry.h"

#include <QBuffer>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Checks that the text is the pattern, where "…" stands for any text within a line.
void compareToPattern(const QString &text, const QString &pattern)
{
    const QString expression = QRegularExpression::escape(pattern).replace(u"\\…"_s, u"[^\n]*"_s);
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(expression)).match(text).hasMatch(),
             qPrintable(u"\n%1\nis not like\n%2"_s.arg(text, pattern)));
}

} // namespace

UpdaterTestBed::UpdaterTestBed()
{
    for (const char *folder : {"home/Applications", "caches", "mounts"})
        QDir(root_.path()).mkpath(QString::fromLatin1(folder));
    steer({u"QUILLO_FIXTURE_CALLS="_s + root_.filePath(u"calls"_s), u"QUILLO_FAKE_OPENED="_s + root_.filePath(u"opened"_s)});
}

UpdaterTestBed::~UpdaterTestBed()
{
    for (const QByteArray &name : steered_)
        qunsetenv(name.constData());
}

UpdaterEnvironment UpdaterTestBed::environment() const
{
    UpdaterEnvironment environment;
    environment.homeDirectory = home();
    environment.cachesDirectory = root_.filePath(u"caches"_s);
    environment.mountPointParent = root_.filePath(u"mounts"_s);
    environment.tools = {fill(u"{hdiutil}"_s), fill(u"{ditto}"_s), fill(u"{codesign}"_s), fill(u"{spctl}"_s), fill(u"{open}"_s)};
    return environment;
}

QString UpdaterTestBed::mountPoint() const
{
    return fixtureRecord().filter(QRegularExpression(u"^hdiutil attach "_s)).value(0).split(u' ').value(5);
}

QString UpdaterTestBed::fill(QString text) const
{
    text.replace(u"{prepare}"_s, u"prepare|--dmg|{image}|--staged-app|{staged}|--version|2.0.0|--build|42"_s);
    text.replace(u"{install}"_s, u"install|--staged-app|{staged}|--target-app|{target}|--work-dir|{cache}/work"
                                 "|--version|2.0.0|--build|2|--parent-pid|%1"_s.arg(managerId));
    text.replace(u"{staged}"_s, u"{cache}/work/Quillo Edge.app"_s);
    text.replace(u"{cache}"_s, root_.filePath(u"caches/Quillo Updates"_s));
    text.replace(u"{target}"_s, u"{home}/Applications/Quillo Edge.app"_s);
    text.replace(u"{image}"_s, u"{home}/image"_s);
    text.replace(u"{home}"_s, home());
    if (text.contains(u"{mount}"_s))
        text.replace(u"{mount}"_s, mountPoint());
    for (const char *tool : {"hdiutil", "ditto", "codesign", "spctl", "open"})
        text.replace(u"{%1}"_s.arg(QLatin1String(tool)), fixturePath(u"fake-"_s + QLatin1String(tool)));
    return text;
}

void UpdaterTestBed::steer(const QStringList &settings)
{
    for (const QString &setting : settings) {
        steered_.append(setting.section(u'=', 0, 0).toUtf8());
        qputenv(steered_.constLast().constData(), fill(setting.section(u'=', 1)).toUtf8());
    }
}

int UpdaterTestBed::run(const QStringList &arguments, std::optional<UpdaterEnvironment> environment)
{
    QBuffer standardError(&standardError_);
    standardError.open(QIODevice::WriteOnly);
    return updaterEntry(arguments, environment.value_or(this->environment()), standardError);
}

void UpdaterTestBed::runAndCheck(const QString &arguments, const QString &message, const QStringList &log,
                                 std::optional<UpdaterEnvironment> environment)
{
    QCOMPARE(run(this->arguments(arguments), std::move(environment)), message.isEmpty() ? 0 : 1);
    compareToPattern(QString::fromUtf8(standardError_), message.isEmpty() ? QString() : fill(message) + u'\n');
    // Each line is stamped in UTC; a message may go on over further lines.
    static const QRegularExpression stamp(uR"(^\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ\] )"_s, QRegularExpression::MultilineOption);
    const QString messages = fill(log.join(u'\n')).replace(u"{message}"_s, fill(message));
    compareToPattern(readText(home() + u"/Library/Logs/Quillo Edge/updater.log"_s).remove(stamp), messages + (log.isEmpty() ? u""_s : u"\n"_s));
}

QStringList UpdaterTestBed::fixtureRecord(const QString &name) const
{
    return readText(root_.filePath(name)).split(u'\n', Qt::SkipEmptyParts);
}

QSet<QString> UpdaterTestBed::entries(const QString &folder) const
{
    const QStringList names = QDir(fill(folder)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden | QDir::System);
    return QSet<QString>(names.begin(), names.end());
}
