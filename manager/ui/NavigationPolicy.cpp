#include "NavigationPolicy.h"

#include <QStringList>

NavigationDecision navigationDecision(const QUrl &url)
{
    if (url.isEmpty())
        return NavigationDecision::cancel;
    const QString host = url.host().toLower();
    if (host.isEmpty())
        return NavigationDecision::openInDesktop;
    static const QStringList localHosts{QStringLiteral("127.0.0.1"), QStringLiteral("localhost"),
                                        QStringLiteral("::1")};
    return localHosts.contains(host) ? NavigationDecision::allow : NavigationDecision::openInDesktop;
}
