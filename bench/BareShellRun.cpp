#include "BareShellRun.h"

#include <QFile>
#include <QList>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

void runShellDiscardingOutput(const QString &script, const QStringList &arguments)
{
    QList<QByteArray> encoded{QByteArrayLiteral("/bin/sh"), QFile::encodeName(script)};
    for (const QString &argument : arguments)
        encoded.append(argument.toLocal8Bit());
    QList<char *> argv;
    for (QByteArray &argument : encoded)
        argv.append(argument.data());
    argv.append(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv.data(), environ) != 0)
        qFatal("posix_spawn failed");
    int status = 0;
    waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
}
