#pragma once

#include <QString>
#include <QVariant>

// An application bundle folder and the values of its Contents/Info.plist (XML or binary).
class AppBundle
{
public:
    explicit AppBundle(QString bundlePath);

    // The bundle of the running program: two levels above an executable that sits in
    // Contents/MacOS, otherwise the executable's own folder.
    static AppBundle main();

    const QString &path() const;
    QString infoPlistPath() const;

    // QString for a string, qint64 for an integer (quint64 above the signed range), bool,
    // double; an invalid QVariant when the key, the file or the property list is missing or
    // unreadable.
    QVariant infoValue(const QString &key) const;

private:
    QString path_;
};
