#include "UpdaterEntry.h"
#include "UpdaterEnvironment.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

// Standard error carries the failure message and nothing else, so Qt's own diagnostics are
// dropped.
void discardQtMessage(QtMsgType, const QMessageLogContext &, const QString &)
{
}

} // namespace

int main(int argc, char *argv[])
{
    qInstallMessageHandler(discardQtMessage);
    QStringList arguments;
    for (int index = 1; index < argc; ++index)
        arguments.append(QString::fromLocal8Bit(argv[index]));
    QCoreApplication application(argc, argv);

    QFile standardError;
    standardError.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    return updaterEntry(arguments, UpdaterEnvironment::system(), standardError);
}
