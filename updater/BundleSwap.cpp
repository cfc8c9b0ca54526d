#include "BundleSwap.h"

#include "FileSystem.h"

#include <QFileInfo>
#include <QUuid>

BundleSwap::BundleSwap(QString target, bool atomicExchange)
    : target_(std::move(target))
    , atomicExchange_(atomicExchange)
{
    const QString folder = QFileInfo(target_).path();
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    updateCopy_ = folder + QStringLiteral("/.Quillo Edge.update-") + uuid + QStringLiteral(".app");
    backup_ = folder + QStringLiteral("/.Quillo Edge.backup-") + uuid + QStringLiteral(".app");
}

const QString &BundleSwap::updateCopy() const
{
    return updateCopy_;
}

bool BundleSwap::backupMade() const
{
    return !previous_.isEmpty();
}

void BundleSwap::installUpdateCopy()
{
    if (!FileSystem::exists(target_)) {
        FileSystem::moveItem(updateCopy_, target_);
        return;
    }
    if (exchangeWithTarget(updateCopy_)) {
        previous_ = updateCopy_;
        FileSystem::moveItem(updateCopy_, backup_);
        previous_ = backup_;
        return;
    }
    FileSystem::moveItem(target_, backup_);
    previous_ = backup_;
    FileSystem::moveItem(updateCopy_, target_);
}

void BundleSwap::removeUpdateCopyQuietly()
{
    if (previous_ != updateCopy_)
        FileSystem::removeItemQuietly(updateCopy_);
}

void BundleSwap::restorePrevious()
{
    if (FileSystem::exists(target_)) {
        try {
            if (exchangeWithTarget(previous_)) {
                FileSystem::removeItemQuietly(previous_);
                previous_.clear();
                return;
            }
        } catch (const std::exception &) {
            // Fall back to clearing the target and moving the previous bundle in.
        }
        FileSystem::removeItemQuietly(target_);
    }
    FileSystem::moveItem(previous_, target_);
    previous_.clear();
}

void BundleSwap::removeBackup()
{
    FileSystem::removeItem(previous_);
    previous_.clear();
}

bool BundleSwap::exchangeWithTarget(const QString &other)
{
    return atomicExchange_ && FileSystem::exchangeItems(other, target_);
}
