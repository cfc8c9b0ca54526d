#pragma once

#include <QString>

// The file operations of an update. Failures carry the system's own text (SystemError).
// Symbolic links are never followed: a link is removed or moved as itself.
class FileSystem
{
public:
    static bool exists(const QString &path);
    static void createFolders(const QString &path);
    // One folder with mode 0700, without intermediate folders.
    static void createPrivateFolder(const QString &path);
    static void removeItem(const QString &path);
    static void removeItemQuietly(const QString &path);
    // Removes the folder only when it is empty, so a mount that is still attached is never
    // walked into.
    static void removeEmptyFolderQuietly(const QString &path);
    // Refuses to replace anything at the destination.
    static void moveItem(const QString &from, const QString &to);
    // Swaps two names in one step. False when the file system cannot; nothing changed then.
    static bool exchangeItems(const QString &first, const QString &second);
};
