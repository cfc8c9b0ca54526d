#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

// Catches what the program asks the desktop to open (QDesktopServices::setUrlHandler).
class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};
