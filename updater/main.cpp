#include "UpdaterEntry.h"
#include "UpdaterEnvironment.h"

#ifndef Q_OS_MACOS
#include "linux/LinuxTools.h"
#endif

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstring>

namespace {

QtMessageHandler qtHandler = nullptr;

// Standard error carries the failure message and nothing else, so Qt's own diagnostics are
// dropped. Our categories pass only when a logging rule has turned them on.
void keepOwnMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && std::strncmp(context.category, "quillo.", 7) == 0)
        qtHandler(type, context, message);
}

} // namespace

int main(int argc, char *argv[])
{
    qtHandler = qInstallMessageHandler(keepOwnMessages);
    QStringList arguments;
    for (int index = 1; index < argc; ++index)
        arguments.append(QString::fromLocal8Bit(argv[index]));
#ifndef Q_OS_MACOS
    // Called by a tool's name, the program is that tool; its own command line is unchanged.
    if (const std::optional<int> status = LinuxTools::run(QString::fromLocal8Bit(argv[0]), arguments))
        return *status;
#endif
    QCoreApplication application(argc, argv);

    QFile standardError;
    standardError.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return updaterEntry(arguments, UpdaterEnvironment::system(), standardError);
}
