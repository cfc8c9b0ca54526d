#include "release/ManagerUpdatePolicy.h"

#include "bundle/StandardizedPath.h"

const QString ManagerUpdatePolicy::appName = QStringLiteral("Quillo Edge.app");
const QString ManagerUpdatePolicy::bundleIdentifier = QStringLiteral("dev.quillo.edge");
#ifdef Q_OS_MACOS
const QString ManagerUpdatePolicy::teamIdentifier = QStringLiteral("R7T2MQ94XK");
#else
// Elsewhere the team is the fingerprint of the release key this build was given or made.
const QString ManagerUpdatePolicy::teamIdentifier = QStringLiteral(QUILLO_RELEASE_KEY_FINGERPRINT);
#endif

bool ManagerUpdatePolicy::isSupportedTarget(const QString &targetPath, const QString &homeDirectory)
{
    const QString target = standardizedPath(targetPath);
    return target == standardizedPath(QStringLiteral("/Applications/") + appName)
        || target == standardizedPath(homeDirectory + QStringLiteral("/Applications/") + appName);
}
