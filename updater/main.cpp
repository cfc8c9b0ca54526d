#include "UpdaterEntry.h"
#include "UpdaterEnvironment.h"

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
    QCoreApplication application(argc, argv);

    QFile standardError;
    standardError.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return updaterEntry(arguments, UpdaterEnvironment::system(), standardError);
}
