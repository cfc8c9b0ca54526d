#include "InstallerClient.h"

#include "InstallerClientError.h"
#include "TextLines.h"
#include "UserFacingError.h"
#include "Utf8Text.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

const QString shellPath = QStringLiteral("/bin/sh");

std::optional<QJsonObject> jsonObject(const QString &line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
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
    // working folder and standard input are the manager's own. QProcess reads both pipes
    // while it waits, so a talkative script never stalls on a full pipe.
    QProcess process;
    process.setProgram(shellPath);
    process.setArguments(QStringList{installerPath_} + arguments);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start();
    if (!process.waitForStarted(-1))
        throw SystemError(process.errorString());
    process.waitForFinished(-1);

    InstallerCommandResult result{
        decodeUtf8OrEmpty(process.readAllStandardOutput()),
        decodeUtf8OrEmpty(process.readAllStandardError()),
        process.exitCode(),
    };
    // A script killed by a signal reports the signal number, never success.
    const bool succeeded = process.exitStatus() == QProcess::NormalExit && result.exitCode == 0;
    if (!succeeded)
        throw InstallerClientError::commandFailed(result);
    return result;
}

ServiceStatus InstallerClient::status() const
{
    const InstallerCommandResult result = run({QStringLiteral("status"), QStringLiteral("--json")});
    const QStringList lines = splitLines(result.standardOutput);
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
