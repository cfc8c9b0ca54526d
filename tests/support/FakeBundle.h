#pragma once

#include <QString>
#include <QVariantMap>

// Builds application bundle folders with a chosen Contents/Info.plist for tests.
class FakeBundle
{
public:
    enum class Format { Xml, Binary };

    // Writes bundlePath/Contents/Info.plist holding `info` (QString, integer, bool and double
    // values), creating the folders. Returns false when anything could not be written.
    static bool write(const QString &bundlePath, const QVariantMap &info, Format format = Format::Xml);

    // Info values of a genuine manager bundle of that version and build.
    static QVariantMap managerInfo(const QString &version, qint64 build);
};
