#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What a finished child process printed, and how it ended.
struct ProcessOutput
{
    QByteArray standardOutput;
    QByteArray standardError;
    // The exit status, or the signal number when a signal ended the process.
    int exitCode = 0;
    bool killedBySignal = false;
};

// Runs a program with the caller's environment, working folder and standard input, reading
// both output pipes while it runs, and blocks until it has exited. Stops reading once the
// process has exited and its pipes are empty, so a background child that keeps a pipe open
// cannot hold the caller. Throws SystemError with the system's text when it cannot be started.
// A name, when given, is the program's own first argument instead of its path.
ProcessOutput runProcess(const QString &program, const QStringList &arguments, const QString &name = {});

// The same, with both outputs as UTF-8 text decoded while they arrive; "" for an output that is
// not valid UTF-8.
struct ProcessTextOutput
{
    QString standardOutput;
    QString standardError;
    int exitCode = 0;
    bool killedBySignal = false;
};

ProcessTextOutput runProcessForText(const QString &program, const QStringList &arguments);
