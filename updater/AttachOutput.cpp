#include "AttachOutput.h"

#include "UpdaterError.h"
#include "bundle/PropertyList.h"

QStringList AttachOutput::mountPoints(const QString &propertyListText)
{
    const PropertyList root = readPropertyList(propertyListText.toUtf8());
    if (!root)
        throw SystemError(QStringLiteral("磁盘映像工具的输出不是属性列表"));
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
            found.append(propertyListString(mountPoint));
    }
    if (found.isEmpty())
        throw UpdaterError::invalidDiskImage();
    return found;
}
