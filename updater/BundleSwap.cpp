#include "BundleSwap.h"

#include "FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

namespace {

const QString updatePrefix = QStringLiteral(".Quillo Edge.update-");
const QString backupPrefix = QStringLiteral(".Quillo Edge.backup-");
const QString suffix = QStringLiteral(".app");

bool isHiddenBundleName(const QString &name)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(%1|%2)[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}%3$")
            .arg(QRegularExpression::escape(updatePrefix), QRegularExpression::escape(backupPrefix),
                 QRegularExpression::escape(suffix)));
    return pattern.match(name).hasMatch();
}

} // namespace

BundleSwap::BundleSwap(QString target, bool atomicExchange)
    : target_(std::move(target))
    , atomicExchange_(atomicExchange)
{
    const QString folder = QFileInfo(target_).path() + u'/';
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    updateCopy_ = folder + updatePrefix + uuid + suffix;
    backup_ = folder + backupPrefix + uuid + suffix;
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

void BundleSwap::removeEarlierLeftovers()
{
    const QDir folder(QFileInfo(target_).path());
    const QStringList names = folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        const QString path = folder.filePath(name);
        // This run's own backup stays when its removal failed, as the log says.
        if (isHiddenBundleName(name) && path != updateCopy_ && path != backup_)
            FileSystem::removeItemQuietly(path);
    }
}

bool BundleSwap::exchangeWithTarget(const QString &other)
{
    return atomicExchange_ && FileSystem::exchangeItems(other, target_);
}
