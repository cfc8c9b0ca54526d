#include "service/InstallerClient.h"

#include "json/StrictJson.h"
#include "process/ProcessRun.h"
#include "service/InstallerClientError.h"
#include "text/TextLines.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonObject>
#include <QLoggingCategory>

namespace {

// Each run's command word, exit status and time; off unless a logging rule turns it on.
Q_LOGGING_CATEGORY(installerLog, "quillo.installer", QtFatalMsg)

const QString shellPath = QStringLiteral("/bin/sh");

std::optional<QJsonObject> jsonObject(const QString &line)
{
    const auto value = parseStrictJson(line.toUtf8());
    if (!value || !value->isObject())
        return std::nullopt;
    return value->toObject();
}

} // namespace

InstallerClient::InstallerClient(QString installerPath)
    : installerPath_(std::move(installerPath))
{
}

InstallerCommandResult InstallerClient::run(const QStringList &arguments) const
{
    if (!QFileInfo::exists(installerPath_))
        throw InstallerClientError::missingInstaller(installerPath_);

    // The script is handed to the shell, so it needs no execute permission. Environment,
    // working folder and standard input are the manager's own.
    QElapsedTimer clock;
    clock.start();
    const ProcessTextOutput output = runProcessForText(shellPath, QStringList{installerPath_} + arguments);
    qCInfo(installerLog).nospace().noquote() << arguments.value(0) << ": "
                                             << (output.killedBySignal ? "signal " : "exit ") << output.exitCode
                                             << ", " << clock.elapsed() << " ms";
    const InstallerCommandResult result{output.standardOutput, output.standardError, output.exitCode};
    // A script ended by a signal reports the signal number, never success.
    const bool succeeded = !output.killedBySignal && result.exitCode == 0;
    if (!succeeded)
        throw InstallerClientError::commandFailed(result);
    return result;
}

ServiceStatus InstallerClient::status() const
{
    return statusFromOutput(run({QStringLiteral("status"), QStringLiteral("--json")}).standardOutput);
}

ServiceStatus InstallerClient::statusFromOutput(const QString &standardOutput)
{
    const QStringList lines = splitLines(standardOutput);
    if (lines.isEmpty())
        throw InstallerClientError::invalidResponse(QStringLiteral("状态命令没有返回内容"));

    const QString &lastLine = lines.last();
    const auto object = jsonObject(lastLine);
    const auto status = object ? ServiceStatus::fromJson(*object) : std::nullopt;
    if (!status)
        throw InstallerClientError::invalidResponse(lastLine);
    return *status;
}

QList<InstallerEvent> InstallerClient::events(const QString &output)
{
    QList<InstallerEvent> events;
    for (const QString &line : splitLines(output)) {
        const auto object = jsonObject(line);
        if (!object)
            continue;
        if (const auto event = InstallerEvent::fromJson(*object))
            events.append(*event);
    }
    return events;
}
