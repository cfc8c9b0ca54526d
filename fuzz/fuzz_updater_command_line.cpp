// The updater's command line: the input, cut at NUL bytes, is the argument list of one run,
// made in-process against a temporary home where no platform tool exists.
#include "FuzzCheck.h"
#include "UpdaterEntry.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

namespace {

// The temporary home, made once per process, inside a folder that holds nothing else.
struct Sandbox
{
    QTemporaryDir root;
    QString home = root.filePath(QStringLiteral("home"));
    QString mounts = home + QStringLiteral("/mounts");
    QString logPath = home + QStringLiteral("/Library/Logs/Quillo Edge/updater.log");
    UpdaterEnvironment environment;

    Sandbox()
    {
        FUZZ_CHECK(root.isValid() && QDir().mkpath(mounts));
        const QString noTools = home + QStringLiteral("/no-tools/");
        environment.homeDirectory = home;
        environment.cachesDirectory = home + QStringLiteral("/Library/Caches");
        environment.mountPointParent = mounts;
        environment.tools = {noTools + QStringLiteral("hdiutil"), noTools + QStringLiteral("ditto"),
                             noTools + QStringLiteral("codesign"), noTools + QStringLiteral("spctl"),
                             noTools + QStringLiteral("open")};
        environment.exitDeadline = std::chrono::milliseconds(50);
        environment.exitProbeInterval = std::chrono::milliseconds(10);
    }
};

// Standard error, counting how many writes reach it.
class ErrorStream final : public QBuffer
{
public:
    int writes = 0;

protected:
    qint64 writeData(const char *data, qint64 length) override
    {
        ++writes;
        return QBuffer::writeData(data, length);
    }
};

// As the program's main() reads its arguments; no input at all is no argument at all.
QStringList arguments(const QByteArray &bytes)
{
    QStringList list;
    if (!bytes.isEmpty())
        for (const QByteArray &piece : bytes.split('\0'))
            list.append(QString::fromLocal8Bit(piece));
    return list;
}

bool hasRequiredArguments(const QStringList &list)
{
    static const QMap<QString, QStringList> required{
        {QStringLiteral("prepare"), {"--dmg", "--staged-app", "--version", "--build"}},
        {QStringLiteral("install"), {"--staged-app", "--target-app", "--work-dir", "--version", "--build", "--parent-pid"}},
    };
    if (list.isEmpty() || !required.contains(list.first()) || list.size() % 2 == 0)
        return false;
    QMap<QString, QString> options;
    for (qsizetype index = 1; index < list.size(); index += 2)
        options.insert(list[index], list[index + 1]);
    const QStringList names = required.value(list.first());
    return std::all_of(names.begin(), names.end(), [&](const QString &name) { return !options.value(name).isEmpty(); });
}

// The arguments that name a path outside the home (relative ones count from the home, where
// the run takes place) and nothing stands at yet.
QStringList absentOutsidePaths(const QStringList &list, const QString &home)
{
    QStringList absent;
    for (const QString &argument : list) {
        const QString path = QDir::cleanPath(QDir(home).absoluteFilePath(argument));
        if (path != home && !path.startsWith(home + u'/') && !QFileInfo::exists(path))
            absent.append(path);
    }
    return absent;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

void checkFailureMessage(const ErrorStream &standardError, const QStringList &list, const QString &logPath)
{
    const QByteArray text = standardError.data();
    FUZZ_CHECK(standardError.writes == 1 && text.size() > 1 && text.endsWith('\n'));
    // A message spans more than one line only when it quotes an argument that does.
    const bool quotesLineFeeds = std::any_of(list.begin(), list.end(), [](const QString &argument) {
        return argument.contains(u'\n');
    });
    if (!quotesLineFeeds)
        FUZZ_CHECK(text.count('\n') == 1);

    QFile log(logPath);
    FUZZ_CHECK(log.open(QIODevice::ReadOnly));
    FUZZ_CHECK(log.readAll().endsWith("] Updater error: " + text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Sandbox sandbox;
    const QStringList list = arguments(fuzzBytes(data, size));
    const QStringList outside = absentOutsidePaths(list, sandbox.home);

    const QString previousFolder = QDir::currentPath();
    FUZZ_CHECK(QDir::setCurrent(sandbox.home));
    ErrorStream standardError;
    standardError.open(QIODevice::WriteOnly);
    const int status = updaterEntry(list, sandbox.environment, standardError);
    FUZZ_CHECK(QDir::setCurrent(previousFolder));

    FUZZ_CHECK(status != 0 || hasRequiredArguments(list));
    // Every successful command runs a platform tool; with none on hand, nothing succeeds.
    FUZZ_CHECK(status == 1);
    checkFailureMessage(standardError, list, sandbox.logPath);

    // Nothing is written outside the home, and no mount point is left behind.
    FUZZ_CHECK(entries(sandbox.root.path()) == QStringList{QStringLiteral("home")});
    FUZZ_CHECK(std::none_of(outside.begin(), outside.end(), [](const QString &path) { return QFileInfo::exists(path); }));
    FUZZ_CHECK(entries(sandbox.mounts).isEmpty());

    QFile::remove(sandbox.logPath);  // one run's lines at a time, and the log never grows
    return 0;
}
