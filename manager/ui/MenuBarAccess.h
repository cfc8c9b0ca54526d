#pragma once

#include <QList>
#include <QObject>
#include <QString>

// One top-level entry of a menu bar: its own title and, when it opens a submenu, that menu's title.
struct MenuBarEntry
{
    QString title;
    QString submenuTitle;
};

// A menu bar as the menu trimmer sees it.
class MenuBarAccess : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual QList<MenuBarEntry> entries() const = 0;
    virtual void removeEntry(int index) = 0;

signals:
    // An entry was added or changed. Removals are not reported.
    void entryAddedOrChanged();
};
