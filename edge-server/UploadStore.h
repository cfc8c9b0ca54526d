#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Keeps uploaded files in the data folder, each under its own plain base name.
class UploadStore
{
public:
    explicit UploadStore(QString dataDir);

    const QString &dataDir() const { return dataDir_; }

    // Print jobs are private: the folder is the user's alone (0700), and so is each file (0600).
    static bool makePrivateFolder(const QString &path);

    // The name as a file name of its own, or nothing when it is not valid UTF-8, is empty, "."
    // or "..", holds a path separator, a control or format character, or is too long for a file
    // system.
    static std::optional<QString> plainFileName(const QByteArray &clientName);

    struct Saved
    {
        bool ok = false;
        QString fileName; // may differ from the request when that name was taken
        QString error;
    };
    // Never replaces a file: a taken name gets " (2)", " (3)", … before its extension.
    Saved save(const QString &fileName, const QByteArray &content) const;

    // Plain files in the data folder, by name.
    QStringList fileNames() const;

private:
    QString dataDir_;
};
