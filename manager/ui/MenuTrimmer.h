#pragma once

#include "MenuBarAccess.h"

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

#include <memory>

// Keeps the standard "File", "Edit" and "View" menus out of the application's menu bar, in
// English, Simplified and Traditional Chinese. Trims are queued on the event loop, and any
// number of requests before one runs lead to a single trim.
class MenuTrimmer : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QObject *menuBar READ menuBar WRITE setMenuBar NOTIFY menuBarChanged)

public:
    explicit MenuTrimmer(QObject *parent = nullptr);
    ~MenuTrimmer() override;

    QObject *menuBar() const { return menuBar_; }
    // The menu bar of a window (a Qt Quick Controls MenuBar).
    void setMenuBar(QObject *menuBar);
    // Any menu bar; queues the first trim.
    void setAccess(std::unique_ptr<MenuBarAccess> access);

    void scheduleTrim();
    void removeUnusedMenus();

    static bool isUnusedMenuTitle(const QString &title);

signals:
    void menuBarChanged();

private:
    QPointer<QObject> menuBar_;
    std::unique_ptr<MenuBarAccess> access_;
    bool trimScheduled_ = false;
};
