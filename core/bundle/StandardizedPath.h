#pragma once

#include <QString>

// A path made absolute against the current folder, with redundant separators, "." and ".."
// removed by text. Symbolic links are not resolved.
QString standardizedPath(const QString &path);
