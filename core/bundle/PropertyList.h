#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

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

// The text of a string node, all of it: a NUL byte and a leading U+FEFF included.
QString propertyListString(plist_t node);

// The value of an integer node: a qint64, or a quint64 when it lies above the signed range.
QVariant propertyListInteger(plist_t node);
