#pragma once

#include <QString>
#include <QStringList>

// Cuts text at every newline character (LF, VT, FF, CR, NEL, LS, PS; CR LF counts as one)
// and drops empty pieces. Pieces are not trimmed.
QStringList splitLines(const QString &text);
