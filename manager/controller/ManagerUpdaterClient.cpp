#include "ManagerUpdaterClient.h"

#include "ManagerUpdaterClientError.h"
#include "UserFacingError.h"
#include "Utf8Text.h"

#include <QProcess>

ManagerUpdaterClient::ManagerUpdaterClient(QString helperPath)
    : helperPath_(std::move(helperPath))
{
}

void ManagerUpdaterClient::runAndWait(const QStringList &arguments) const
{
    // QProcess drains both pipes while it waits, so a talkative tool cannot stall on them.
    QProcess process;
    process.setProgram(helperPath_);
    process.setArguments(arguments);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start();
    if (!process.waitForStarted(-1))
        throw SystemError(process.errorString());
    process.waitForFinished(-1);

    // A tool killed by a signal has not succeeded, whatever its exit code reads.
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return;
    const QString message = decodeUtf8OrEmpty(process.readAllStandardError()).trimmed();
    throw ManagerUpdaterClientError::helperFailed(message.isEmpty() ? QStringLiteral("更新助手执行失败") : message);
}
