#include "bundle/AppBundle.h"

#include "bundle/PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

PropertyList readPropertyListFile(const QString &filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return readPropertyList(file.readAll());
}

QVariant scalarValue(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_STRING:
        return propertyListString(node);
    case PLIST_UINT:
        return propertyListInteger(node);
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return value != 0;
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    default:
        return {};
    }
}

} // namespace

AppBundle::AppBundle(QString bundlePath)
    : path_(std::move(bundlePath))
{
}

AppBundle AppBundle::main()
{
    const QDir executableFolder(QCoreApplication::applicationDirPath());
    QDir contents = executableFolder;
    if (executableFolder.dirName() == u"MacOS" && contents.cdUp() && contents.dirName() == u"Contents") {
        QDir bundle = contents;
        bundle.cdUp();
        return AppBundle(bundle.absolutePath());
    }
    return AppBundle(executableFolder.absolutePath());
}

const QString &AppBundle::path() const
{
    return path_;
}

QString AppBundle::infoPlistPath() const
{
    return path_ + QStringLiteral("/Contents/Info.plist");
}

QVariant AppBundle::infoValue(const QString &key) const
{
    const PropertyList root = readPropertyListFile(infoPlistPath());
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return {};
    plist_t item = plist_dict_get_item(root.get(), key.toUtf8().constData());
    return item ? scalarValue(item) : QVariant();
}
