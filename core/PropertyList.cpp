#include "PropertyList.h"

#include <cstdlib>
#include <limits>

PropertyList readPropertyList(const QByteArray &bytes)
{
    plist_t root = nullptr;
    if (!bytes.isEmpty() && bytes.size() <= std::numeric_limits<uint32_t>::max())
        plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
    return PropertyList(root);
}

QString propertyListString(plist_t node)
{
    char *text = nullptr;
    plist_get_string_val(node, &text);
    const QString value = QString::fromUtf8(text);
    std::free(text);
    return value;
}
