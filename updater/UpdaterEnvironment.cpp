#include "UpdaterEnvironment.h"

#include <QDir>
#include <QStandardPaths>

UpdaterEnvironment UpdaterEnvironment::system()
{
    UpdaterEnvironment environment;
    environment.homeDirectory = QDir::homePath();
    environment.cachesDirectory = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
#ifdef Q_OS_MACOS
    environment.mountPointParent = QStringLiteral("/private/tmp");
#else
    environment.mountPointParent = QStringLiteral("/tmp");
#endif
    environment.tools = Toolset::system();
    return environment;
}
