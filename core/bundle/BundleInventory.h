#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

#include <sys/stat.h>

// Visits every folder, file and link below the bundle folder (not the folder itself), parents
// before their contents, names in byte order; links are not followed. `relative` is the path
// below the bundle. Throws SystemError when a folder cannot be read.
void walkBundle(const QString &bundlePath,
                const std::function<void(const QByteArray &relative, const struct stat &)> &visit);

// One line per entry below the bundle, outside `excluded` (a relative path): type (d, f or l),
// permission bits in octal, size, SHA-256 of the contents or link target ("-" for a folder) and
// the percent-encoded path. Anything else than a folder, file or link makes it throw
// SystemError.
QByteArray bundleInventory(const QString &bundlePath, const QByteArray &excluded);
