#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <optional>

// The management page view's delegate: it decides which loads and navigations happen, so the
// view never reloads on a re-render and never leaves the local service.
class DashboardCoordinator : public QObject
{
    Q_OBJECT
    QML_ELEMENT

public:
    explicit DashboardCoordinator(QObject *parent = nullptr);

    // True when the view must load url, which then becomes the last address requested.
    Q_INVOKABLE bool shouldLoad(const QUrl &url);
    // True when the view may show url; any other address is handed to the desktop's default
    // handler (the user's browser).
    Q_INVOKABLE bool admit(const QUrl &url) const;
    // The chosen files as the page receives them: local paths.
    Q_INVOKABLE QStringList localPaths(const QList<QUrl> &urls) const;

private:
    std::optional<QUrl> requestedUrl_;
};
