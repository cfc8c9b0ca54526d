#include "Fixtures.h"

#include <QDir>

QString fixturePath(const QString &name)
{
    return QDir(qEnvironmentVariable("QUILLO_FIXTURES")).absoluteFilePath(name);
}
