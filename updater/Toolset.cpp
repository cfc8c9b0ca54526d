#include "Toolset.h"

Toolset Toolset::system()
{
    return {
        QStringLiteral("/usr/bin/hdiutil"),
        QStringLiteral("/usr/bin/ditto"),
        QStringLiteral("/usr/bin/codesign"),
        QStringLiteral("/usr/sbin/spctl"),
        QStringLiteral("/usr/bin/open"),
    };
}
