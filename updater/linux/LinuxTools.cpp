#include "linux/LinuxTools.h"

#include "bundle/AppBundle.h"
#include "bundle/BundleInventory.h"
#include "bundle/BundleSignature.h"
#include "linux/ArchiveExtraction.h"
#include "linux/TreeCopy.h"
#include "FileSystem.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>

extern char **environ;

namespace {

// Always the program that is running, even after its file has been replaced or removed.
const QString self = QStringLiteral("/proc/self/exe");
const QString imageToolName = QStringLiteral("quillo-image");
const QString copierName = QStringLiteral("quillo-copy");
const QString signatureName = QStringLiteral("quillo-signature");
const QString assessorName = QStringLiteral("quillo-assess");
const QString openerName = QStringLiteral("quillo-open");

using Arguments = const QStringList &;

void write(FILE *stream, const QString &text)
{
    const QByteArray bytes = (text + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

[[noreturn]] void unsupported(Arguments arguments)
{
    throw SystemError(QStringLiteral("Unsupported arguments: ") + arguments.join(u' '));
}

QString escapedForXml(QString text)
{
    return text.replace(u'&', QStringLiteral("&amp;")).replace(u'<', QStringLiteral("&lt;"))
        .replace(u'>', QStringLiteral("&gt;"));
}

// Removes everything inside the folder, also below folders that their owner may not write.
void emptyFolder(const QString &folder)
{
    walkBundle(folder, [&](const QByteArray &relative, const struct stat &status) {
        if (S_ISDIR(status.st_mode))
            ::chmod(QFile::encodeName(folder + u'/' + QFile::decodeName(relative)).constData(), 0700);
    });
    const QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                     | QDir::NoDotAndDotDot);
    for (const QString &name : names)
        FileSystem::removeItem(folder + u'/' + name);
}

// attach -nobrowse -readonly -mountpoint MOUNT-POINT -plist ARCHIVE: unpacks into the empty
// private mount point and names it in the property list. detach MOUNT-POINT empties it.
void imageTool(Arguments arguments)
{
    if (arguments.size() == 2 && arguments[0] == u"detach")
        return emptyFolder(arguments[1]);
    if (arguments.size() != 7 || arguments[0] != u"attach" || arguments[3] != u"-mountpoint")
        unsupported(arguments);
    const QString &mountPoint = arguments[4];
    if (!QDir(mountPoint).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        throw SystemError(QStringLiteral("The mount point is not an empty folder: ") + mountPoint);
    try {
        extractArchive(arguments[6], mountPoint);
    } catch (...) {
        try {
            emptyFolder(mountPoint);
        } catch (const std::exception &) {
            // The failure of the unpacking is the one to report.
        }
        throw;
    }
    write(stdout, QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                                 "<key>system-entities</key><array><dict><key>mount-point</key><string>%1</string>"
                                 "</dict></array></dict></plist>")
                      .arg(escapedForXml(mountPoint)));
}

void copier(Arguments arguments)
{
    if (arguments.size() != 2)
        unsupported(arguments);
    copyTree(arguments[0], arguments[1]);
}

// --verify ... BUNDLE checks the signature; --display ... BUNDLE names the signer.
void signatureTool(Arguments arguments)
{
    if (arguments.size() < 2 || (arguments[0] != u"--verify" && arguments[0] != u"--display"))
        unsupported(arguments);
    const QString team = BundleSignature::verify(arguments.last());
    if (arguments[0] == u"--display")
        write(stderr, QStringLiteral("TeamIdentifier=") + team);
}

void assessor(Arguments arguments)
{
    if (arguments.size() < 2 || arguments[0] != u"--assess")
        unsupported(arguments);
    BundleSignature::assess(arguments.last());
}

// Starts the bundle's program in a session of its own, away from the updater's streams, and
// returns once it runs.
void opener(Arguments arguments)
{
    if (arguments.size() != 1)
        unsupported(arguments);
    const QVariant executable = AppBundle(arguments[0]).infoValue(QStringLiteral("CFBundleExecutable"));
    const QString name = executable.toString();
    if (executable.typeId() != QMetaType::QString || name.isEmpty() || name.contains(u'/'))
        throw SystemError(QStringLiteral("The bundle names no program: ") + arguments[0]);
    const QByteArray program = QFile::encodeName(arguments[0] + QStringLiteral("/Contents/MacOS/") + name);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (const int stream : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", stream == 0 ? O_RDONLY : O_WRONLY, 0);
    char *argv[] = {const_cast<char *>(program.constData()), nullptr};
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program.constData(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        throw SystemError(QString::fromLocal8Bit(std::strerror(error)) + QStringLiteral(": ")
                          + QFile::decodeName(program));
}

} // namespace

namespace LinuxTools {

Toolset toolset()
{
    return {Tool(self, imageToolName), Tool(self, copierName), Tool(self, signatureName), Tool(self, assessorName),
            Tool(self, openerName)};
}

std::optional<int> run(const QString &name, const QStringList &arguments)
{
    static const std::map<QString, std::function<void(Arguments)>> tools{
        {imageToolName, imageTool}, {copierName, copier},   {signatureName, signatureTool},
        {assessorName, assessor},   {openerName, opener},
    };
    const auto tool = tools.find(name);
    if (tool == tools.end())
        return std::nullopt;
    try {
        tool->second(arguments);
        return 0;
    } catch (const UserFacingError &error) {
        write(stderr, error.errorDescription());
        return 1;
    } catch (const std::exception &error) {
        write(stderr, QString::fromLocal8Bit(error.what()));
        return 1;
    }
}

} // namespace LinuxTools
