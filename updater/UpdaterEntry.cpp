#include "UpdaterEntry.h"

#include "ManagerUpdater.h"
#include "ParsedArguments.h"
#include "UpdateLogger.h"
#include "UpdaterError.h"
#include "UpdaterLog.h"
#include "text/ErrorText.h"

namespace {

void dispatch(const QStringList &arguments, const UpdaterEnvironment &environment, const UpdateLogger &logger)
{
    if (arguments.isEmpty())
        throw UpdaterError::invalidArguments(QStringLiteral("缺少更新命令"));
    const QString &command = arguments.first();
    qCInfo(updaterLog).noquote() << "command" << command;
    // Options are parsed before the command word is looked at, so a malformed option list is
    // reported even for an unknown command.
    const ParsedArguments options = ParsedArguments::parse(arguments.mid(1));
    ManagerUpdater updater(environment, logger);
    if (command == u"prepare")
        updater.prepare(options);
    else if (command == u"install")
        updater.install(options);
    else
        throw UpdaterError::invalidArguments(QStringLiteral("未知更新命令：") + command);
}

} // namespace

int updaterEntry(const QStringList &arguments, const UpdaterEnvironment &environment, QIODevice &standardError)
{
    const UpdateLogger logger(environment.homeDirectory);
    try {
        dispatch(arguments, environment, logger);
        return 0;
    } catch (const std::exception &) {
        const QString message = errorText(std::current_exception());
        logger.write(QStringLiteral("Updater error: ") + message);
        standardError.write((message + u'\n').toUtf8());
        return 1;
    }
}
