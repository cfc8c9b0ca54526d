#pragma once

#include <QString>
#include <QtGlobal>

// Writes size bytes of seeded pseudo-random data (a whole number of MiB) to path.
bool writeRandomFile(const QString &path, qint64 size, quint32 seed);
