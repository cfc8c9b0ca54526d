#pragma once

#include "UpdaterEnvironment.h"

#include <QIODevice>
#include <QStringList>

// The whole updater run: parses the command line (without the program path), runs the command
// and returns the exit status. On failure the message and one line feed go to standardError.
int updaterEntry(const QStringList &arguments, const UpdaterEnvironment &environment,
                 QIODevice &standardError);
