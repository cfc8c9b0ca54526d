#include "FakeBundle.h"

#include <QDir>
#include <QFile>

#include <plist/plist.h>

#include <cstdlib>

namespace {

plist_t plistNode(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::Double:
        return plist_new_real(value.toDouble());
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

} // namespace

bool FakeBundle::write(const QString &bundlePath, const QVariantMap &info, Format format)
{
    plist_t root = plist_new_dict();
    for (auto it = info.cbegin(); it != info.cend(); ++it)
        plist_dict_set_item(root, it.key().toUtf8().constData(), plistNode(it.value()));
    char *data = nullptr;
    uint32_t length = 0;
    (format == Format::Xml ? plist_to_xml : plist_to_bin)(root, &data, &length);
    const QByteArray bytes(data, qsizetype(length));
    std::free(data);
    plist_free(root);

    QFile file(bundlePath + QStringLiteral("/Contents/Info.plist"));
    return QDir().mkpath(bundlePath + QStringLiteral("/Contents/MacOS"))
        && file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QVariantMap FakeBundle::managerInfo(const QString &version, qint64 build)
{
    return {{QStringLiteral("CFBundleIdentifier"), QStringLiteral("dev.quillo.edge")},
            {QStringLiteral("CFBundleShortVersionString"), version},
            {QStringLiteral("CFBundleVersion"), QString::number(build)},
            {QStringLiteral("CFBundleExecutable"), QStringLiteral("QuilloEdge")}};
}
