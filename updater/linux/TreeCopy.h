#pragma once

#include <QString>

// Copies a folder tree as it is: folders, files and links with their permission bits, links as
// links (so a bundle's signature still matches the copy). The destination must not exist. On
// failure what was copied is removed again and SystemError is thrown.
void copyTree(const QString &from, const QString &to);
