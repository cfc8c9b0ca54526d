#pragma once

#include <QObject>
#include <QTemporaryDir>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

#include <memory>

// Where the page's downloads wait while the user picks their place, and how they get there.
// The waiting folder is private and goes away with this object, with whatever was left in it.
class DownloadFiles : public QObject
{
    Q_OBJECT
    QML_ELEMENT

public:
    explicit DownloadFiles(QObject *parent = nullptr);

    // The user's downloads folder.
    Q_INVOKABLE QUrl downloadsFolder() const;
    // The private folder downloads are written to first; empty when it cannot be made.
    Q_INVOKABLE QString stagingFolder();
    Q_INVOKABLE bool exists(const QUrl &file) const;
    // Moves staged to target, replacing a file there; false, with staged kept, when it cannot.
    Q_INVOKABLE bool place(const QString &staged, const QUrl &target) const;
    Q_INVOKABLE void discard(const QString &staged) const;

private:
    std::unique_ptr<QTemporaryDir> staging_;
};
