#include "bundle/StandardizedPath.h"

#include <QDir>

QString standardizedPath(const QString &path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}
