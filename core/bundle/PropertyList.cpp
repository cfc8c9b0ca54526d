#include "bundle/PropertyList.h"

#include "text/Utf8Text.h"

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
    // plist_get_string_val() aborts on a string that holds a NUL byte; the pointer and the
    // length read any string.
    uint64_t length = 0;
    const char *text = plist_get_string_ptr(node, &length);
    if (!text || length > uint64_t(std::numeric_limits<qsizetype>::max()))
        return QString();
    return decodeUtf8Exactly(QByteArrayView(text, qsizetype(length)));
}

QVariant propertyListInteger(plist_t node)
{
    uint64_t bits = 0;
    plist_get_uint_val(node, &bits);
    // libplist 2.2 keeps a negative integer in two's complement and tells one above the signed
    // range only by its stored width, which node comparison takes into account: a fresh node
    // of the same bits has the signed width.
    const PropertyList sameBits(plist_new_uint(bits));
    if (!plist_compare_node_value(node, sameBits.get()))
        return QVariant::fromValue(quint64(bits));
    return QVariant::fromValue(qint64(bits));
}
