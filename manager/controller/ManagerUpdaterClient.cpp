#include "ManagerUpdaterClient.h"

#include "ManagerUpdaterClientError.h"
#include "process/ProcessRun.h"
#include "text/Utf8Text.h"

ManagerUpdaterClient::ManagerUpdaterClient(QString helperPath)
    : helperPath_(std::move(helperPath))
{
}

void ManagerUpdaterClient::runAndWait(const QStringList &arguments) const
{
    const ProcessOutput output = runProcess(helperPath_, arguments);
    // A tool killed by a signal has not succeeded, whatever its exit code reads.
    if (!output.killedBySignal && output.exitCode == 0)
        return;
    const QString message = decodeUtf8OrEmpty(output.standardError).trimmed();
    throw ManagerUpdaterClientError::helperFailed(message.isEmpty() ? QStringLiteral("更新助手执行失败") : message);
}
