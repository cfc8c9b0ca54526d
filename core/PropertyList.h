#pragma once

#include <QByteArray>
#include <QString>

#include <plist/plist.h>

#include <memory>

// A property list read with libplist (XML or binary), freed with its owner.
struct PropertyListDeleter
{
    void operator()(plist_t node) const { plist_free(node); }
};
using PropertyList = std::unique_ptr<void, PropertyListDeleter>;

// The property list held in `bytes`; null when they are empty, too long or no property list.
PropertyList readPropertyList(const QByteArray &bytes);

// The text of a string node.
QString propertyListString(plist_t node);
