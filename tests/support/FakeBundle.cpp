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

QByteArray encode(plist_t root, FakeBundle::Format format)
{
    char *data = nullptr;
    uint32_t length = 0;
    if (format == FakeBundle::Format::Xml)
        plist_to_xml(root, &data, &length);
    else
        plist_to_bin(root, &data, &length);
    const QByteArray bytes(data, qsizetype(length));
    std::free(data);
    return bytes;
}

} // namespace

bool FakeBundle::write(const QString &bundlePath, const QVariantMap &info, Format format)
{
    const QString contents = bundlePath + QStringLiteral("/Contents");
    if (!QDir().mkpath(contents + QStringLiteral("/MacOS")))
        return false;

    plist_t root = plist_new_dict();
    for (auto it = info.cbegin(); it != info.cend(); ++it)
        plist_dict_set_item(root, it.key().toUtf8().constData(), plistNode(it.value()));
    const QByteArray bytes = encode(root, format);
    plist_free(root);

    QFile file(contents + QStringLiteral("/Info.plist"));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QVariantMap FakeBundle::managerInfo(const QString &version, qint64 build)
{
    return {
        {QStringLiteral("CFBundleIdentifier"), QStringLiteral("dev.quillo.edge")},
        {QStringLiteral("CFBundleShortVersionString"), version},
        {QStringLiteral("CFBundleVersion"), QString::number(build)},
        {QStringLiteral("CFBundleExecutable"), QStringLiteral("QuilloEdge")},
    };
}
