#pragma once

#include <QString>
#include <QStringList>

// Runs /bin/sh with the script and arguments, output sent to /dev/null, and waits: the
// reference that benchmarks compare the installer client against.
void runShellDiscardingOutput(const QString &script, const QStringList &arguments = {});
