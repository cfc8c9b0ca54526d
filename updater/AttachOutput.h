#pragma once

#include <QString>
#include <QStringList>

// The property list the disk-image tool prints when it attaches an image.
class AttachOutput
{
public:
    // Every entity's "mount-point" string, in order. A text that is no property list fails with
    // a SystemError; any other shape, or no mount point at all, with invalidDiskImage.
    static QStringList mountPoints(const QString &propertyListText);
};
