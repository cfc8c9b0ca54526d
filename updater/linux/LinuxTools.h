#pragma once

#include "Toolset.h"

#include <QString>
#include <QStringList>

#include <optional>

// The platform programs of the update on Linux, built into the updater itself. Each is the
// updater's own program called by the tool's name, so the private copy in the work folder
// carries every tool it needs while the bundle it came from is replaced. They take the Mac
// tools' arguments and keep their contract: the attach output, the copy, the exit statuses and
// the "TeamIdentifier=" line.
namespace LinuxTools {

Toolset toolset();

// The tool called `name` with the arguments after the program name: its exit status, with any
// complaint written to standard error. Nothing when the name is no tool's.
std::optional<int> run(const QString &name, const QStringList &arguments);

} // namespace LinuxTools
