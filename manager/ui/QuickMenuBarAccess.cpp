#include "QuickMenuBarAccess.h"

#include <QMetaMethod>
#include <QQuickItem>
#include <QVariant>

namespace {

// Connects a notifying property of sender to a slot of receiver, once.
void connectProperty(QObject *sender, const char *property, QObject *receiver, const char *slot)
{
    const QMetaObject *meta = sender->metaObject();
    const int index = meta->indexOfProperty(property);
    if (index < 0 || !meta->property(index).hasNotifySignal())
        return;
    const QMetaMethod method = receiver->metaObject()->method(receiver->metaObject()->indexOfMethod(slot));
    QObject::connect(sender, meta->property(index).notifySignal(), receiver, method, Qt::UniqueConnection);
}

} // namespace

QuickMenuBarAccess::QuickMenuBarAccess(QObject *menuBar, QObject *parent)
    : MenuBarAccess(parent)
    , menuBar_(menuBar)
{
    if (!menuBar_)
        return;
    knownCount_ = count();
    connectProperty(menuBar_, "count", this, "countChanged()");
    watchTitles();
}

int QuickMenuBarAccess::count() const
{
    return menuBar_ ? menuBar_->property("count").toInt() : 0;
}

QObject *QuickMenuBarAccess::itemAt(int index) const
{
    QQuickItem *item = nullptr;
    if (menuBar_)
        QMetaObject::invokeMethod(menuBar_, "itemAt", Q_RETURN_ARG(QQuickItem *, item), Q_ARG(int, index));
    return item;
}

QList<MenuBarEntry> QuickMenuBarAccess::entries() const
{
    QList<MenuBarEntry> result;
    for (int i = 0; i < count(); ++i) {
        const QObject *item = itemAt(i);
        const auto *menu = item ? item->property("menu").value<QObject *>() : nullptr;
        result.append({item ? item->property("text").toString() : QString(),
                       menu ? menu->property("title").toString() : QString()});
    }
    return result;
}

void QuickMenuBarAccess::removeEntry(int index)
{
    if (menuBar_)
        QMetaObject::invokeMethod(menuBar_, "takeMenu", Q_ARG(int, index));
}

void QuickMenuBarAccess::countChanged()
{
    const int now = count();
    const bool added = now > knownCount_;
    knownCount_ = now;
    if (added) {
        watchTitles();
        emit entryAddedOrChanged();
    }
}

// A retitled entry or submenu counts as a change.
void QuickMenuBarAccess::watchTitles()
{
    for (int i = 0; i < count(); ++i) {
        QObject *item = itemAt(i);
        if (!item)
            continue;
        connectProperty(item, "text", this, "entryAddedOrChanged()");
        if (auto *menu = item->property("menu").value<QObject *>())
            connectProperty(menu, "title", this, "entryAddedOrChanged()");
    }
}
