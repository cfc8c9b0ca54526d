#pragma once

#include "NavigationPolicy.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStringList>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <optional>

// The management page view's delegate: it decides which loads and navigations happen, so the
// view never reloads on a re-render and shows nothing but the page it was given.
class DashboardCoordinator : public QObject
{
    Q_OBJECT
    QML_ELEMENT

public:
    explicit DashboardCoordinator(QObject *parent = nullptr);

    // Watches the user's presses on view: a click there is what lets a link out to the desktop.
    // A page's own script cannot make one, though it navigates the same way a link does.
    Q_INVOKABLE void watchInput(QQuickItem *view);
    // True when the view must load url, which then becomes the last address requested.
    Q_INVOKABLE bool shouldLoad(const QUrl &url);
    // For the page log: how a load the view started ended.
    Q_INVOKABLE void loadEnded(const QUrl &url, bool succeeded) const;
    // True when the view may show url. An address of another origin is dropped, or handed to
    // the desktop (the user's browser or mail program) when the policy lets it out.
    Q_INVOKABLE bool admitNavigation(const QUrl &url, bool linkClicked, bool mainFrame);
    Q_INVOKABLE bool admitNewWindow(const QUrl &url, bool userInitiated);
    // The chosen files as the page receives them: local paths.
    Q_INVOKABLE QStringList localPaths(const QList<QUrl> &urls) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::optional<QUrl> requestedURL_;
    NavigationPolicy policy_;
    QPointer<QQuickItem> view_;
    QPointer<QQuickWindow> window_;
    std::optional<NavigationPolicy::Clock::time_point> lastInput_;

    bool admit(NavigationRequest request, bool userInput);
    void followWindow();
    bool isInputOnView(const QEvent *event) const;
};
