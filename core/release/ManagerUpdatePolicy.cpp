#include "release/ManagerUpdatePolicy.h"

#include "bundle/StandardizedPath.h"

const QString ManagerUpdatePolicy::appName = QStringLiteral("Quillo Edge.app");
const QString ManagerUpdatePolicy::bundleIdentifier = QStringLiteral("dev.quillo.edge");
const QString ManagerUpdatePolicy::teamIdentifier = QStringLiteral("R7T2MQ94XK");

bool ManagerUpdatePolicy::isSupportedTarget(const QString &targetPath, const QString &homeDirectory)
{
    const QString target = standardizedPath(targetPath);
    return target == standardizedPath(QStringLiteral("/Applications/") + appName)
        || target == standardizedPath(homeDirectory + QStringLiteral("/Applications/") + appName);
}
