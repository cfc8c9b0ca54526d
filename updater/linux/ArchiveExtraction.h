#pragma once

#include "text/UserFacingError.h"

#include <QString>
#include <QtGlobal>

// How much a sane bundle archive may hold. Far above any real release, far below a full disk.
struct ExtractionLimits
{
    qint64 entries = 20000;
    qint64 bytes = qint64(2) << 30;
};

// Why an archive was not unpacked, in words for the user.
class ExtractionError final : public UserFacingError
{
public:
    explicit ExtractionError(QString message);
    QString errorDescription() const override;

private:
    QString message_;
};

// Unpacks a .tar.xz into an existing empty folder and writes nothing outside it: absolute names,
// "..", links that lead out of the tree, hard links, devices, fifos and sockets are refused, and
// so is an archive past the limits. Nothing is written through a link. Throws ExtractionError or
// SystemError; the caller removes what was unpacked before the failure.
void extractArchive(const QString &archivePath, const QString &folder, const ExtractionLimits &limits = {});
