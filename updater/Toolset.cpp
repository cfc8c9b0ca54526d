#include "Toolset.h"

#ifndef Q_OS_MACOS
#include "linux/LinuxTools.h"
#endif

Toolset Toolset::system()
{
#ifdef Q_OS_MACOS
    return {
        QStringLiteral("/usr/bin/hdiutil"),
        QStringLiteral("/usr/bin/ditto"),
        QStringLiteral("/usr/bin/codesign"),
        QStringLiteral("/usr/sbin/spctl"),
        QStringLiteral("/usr/bin/open"),
    };
#else
    return LinuxTools::toolset();
#endif
}
