#pragma once

#include <QDir>

// Absolute path of a file in tests/fixtures.
inline QString fixturePath(const QString &name)
{
    return QDir(qEnvironmentVariable("QUILLO_FIXTURES")).absoluteFilePath(name);
}
