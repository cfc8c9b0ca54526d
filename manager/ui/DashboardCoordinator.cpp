#include "DashboardCoordinator.h"

#include "NavigationPolicy.h"

#include <QDesktopServices>

DashboardCoordinator::DashboardCoordinator(QObject *parent)
    : QObject(parent)
{
}

bool DashboardCoordinator::shouldLoad(const QUrl &url)
{
    if (requestedUrl_ == url)
        return false;
    requestedUrl_ = url;
    return true;
}

bool DashboardCoordinator::admit(const QUrl &url) const
{
    switch (navigationDecision(url)) {
    case NavigationDecision::allow: return true;
    case NavigationDecision::openInDesktop: QDesktopServices::openUrl(url); break;
    case NavigationDecision::cancel: break;
    }
    return false;
}

QStringList DashboardCoordinator::localPaths(const QList<QUrl> &urls) const
{
    QStringList paths;
    for (const QUrl &url : urls)
        paths.append(url.toLocalFile());
    return paths;
}
