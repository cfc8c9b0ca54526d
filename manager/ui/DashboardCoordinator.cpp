#include "DashboardCoordinator.h"

#include "WindowLog.h"

#include <QDesktopServices>
#include <QPointerEvent>
#include <QQuickItem>
#include <QQuickWindow>

namespace {

// How long a press or key stroke counts as the user's own action, as a link opens on the click.
constexpr auto userActionLifetime = std::chrono::seconds(2);

} // namespace

DashboardCoordinator::DashboardCoordinator(QObject *parent)
    : QObject(parent)
{
}

bool DashboardCoordinator::shouldLoad(const QUrl &url)
{
    if (requestedURL_ == url)
        return false;
    qCInfo(pageLog) << "load" << url;
    requestedURL_ = url;
    return true;
}

void DashboardCoordinator::loadEnded(const QUrl &url, bool succeeded) const
{
    qCInfo(pageLog) << (succeeded ? "loaded" : "load failed") << url;
}

void DashboardCoordinator::watchInput(QQuickItem *view)
{
    if (view_)
        disconnect(view_, nullptr, this, nullptr);
    view_ = view;
    if (view_)
        connect(view_, &QQuickItem::windowChanged, this, &DashboardCoordinator::followWindow);
    followWindow();
}

bool DashboardCoordinator::admitNavigation(const QUrl &url, bool linkClicked, bool mainFrame)
{
    return admit({url, linkClicked, mainFrame}, true);
}

bool DashboardCoordinator::admitNewWindow(const QUrl &url, bool userInitiated)
{
    return admit({url, userInitiated, true}, false);
}

// userInput: the request counts as the user's only after a recent press on the view, which one
// hand-over then uses up.
bool DashboardCoordinator::admit(NavigationRequest request, bool userInput)
{
    const auto now = NavigationPolicy::Clock::now();
    if (userInput)
        request.userStarted = request.userStarted && lastInput_ && now - *lastInput_ <= userActionLifetime;
    switch (policy_.decide(requestedURL_.value_or(QUrl()), request, now)) {
    case NavigationDecision::allow: return true;
    case NavigationDecision::openInDesktop:
        lastInput_.reset();
        QDesktopServices::openUrl(request.url);
        break;
    case NavigationDecision::cancel: break;
    }
    return false;
}

void DashboardCoordinator::followWindow()
{
    if (window_)
        window_->removeEventFilter(this);
    window_ = view_ ? view_->window() : nullptr;
    if (window_)
        window_->installEventFilter(this);
}

bool DashboardCoordinator::eventFilter(QObject *watched, QEvent *event)
{
    if (event->spontaneous() && isInputOnView(event))
        lastInput_ = NavigationPolicy::Clock::now();
    return QObject::eventFilter(watched, event);
}

bool DashboardCoordinator::isInputOnView(const QEvent *event) const
{
    if (!view_ || !view_->isVisible())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::TouchBegin: {
        const auto *pointer = static_cast<const QPointerEvent *>(event);
        return pointer->pointCount() > 0
            && view_->contains(view_->mapFromScene(pointer->points().constFirst().scenePosition()));
    }
    case QEvent::KeyPress: {
        const QQuickItem *focus = view_->window() ? view_->window()->activeFocusItem() : nullptr;
        return focus && (focus == view_ || view_->isAncestorOf(focus));
    }
    default: return false;
    }
}

QStringList DashboardCoordinator::localPaths(const QList<QUrl> &urls) const
{
    QStringList paths;
    for (const QUrl &url : urls)
        paths.append(url.toLocalFile());
    return paths;
}
