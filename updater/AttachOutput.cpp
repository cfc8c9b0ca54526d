#include "AttachOutput.h"

#include "UpdaterError.h"

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>

namespace {

struct PlistDeleter
{
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPointer = std::unique_ptr<void, PlistDeleter>;

PlistPointer parse(const QByteArray &bytes)
{
    plist_t root = nullptr;
    if (!bytes.isEmpty() && bytes.size() <= std::numeric_limits<uint32_t>::max())
        plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
    if (!root)
        throw SystemError(QStringLiteral("The disk image tool's output is not a property list"));
    return PlistPointer(root);
}

QString stringValue(plist_t node)
{
    char *text = nullptr;
    plist_get_string_val(node, &text);
    const QString value = QString::fromUtf8(text);
    std::free(text);
    return value;
}

} // namespace

QStringList AttachOutput::mountPoints(const QString &propertyListText)
{
    const PlistPointer root = parse(propertyListText.toUtf8());
    if (plist_get_node_type(root.get()) != PLIST_DICT)
        throw UpdaterError::invalidDiskImage();
    plist_t entities = plist_dict_get_item(root.get(), "system-entities");
    if (!entities || plist_get_node_type(entities) != PLIST_ARRAY)
        throw UpdaterError::invalidDiskImage();

    QStringList found;
    for (uint32_t index = 0; index < plist_array_get_size(entities); ++index) {
        plist_t entity = plist_array_get_item(entities, index);
        if (plist_get_node_type(entity) != PLIST_DICT)
            throw UpdaterError::invalidDiskImage();
        plist_t mountPoint = plist_dict_get_item(entity, "mount-point");
        if (mountPoint && plist_get_node_type(mountPoint) == PLIST_STRING)
            found.append(stringValue(mountPoint));
    }
    if (found.isEmpty())
        throw UpdaterError::invalidDiskImage();
    return found;
}
