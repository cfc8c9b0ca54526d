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

QString newUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

} // namespace

BundleSwap::BundleSwap(QString target, bool atomicExchange, SwapStepHook beforeStep)
    : target_(std::move(target))
    , atomicExchange_(atomicExchange)
    , beforeStep_(std::move(beforeStep))
{
    const QString uuid = newUuid();
    updateCopy_ = hiddenName(updatePrefix, uuid);
    backup_ = hiddenName(backupPrefix, uuid);
}

QString BundleSwap::hiddenName(const QString &prefix, const QString &uuid) const
{
    return QFileInfo(target_).path() + u'/' + prefix + uuid + suffix;
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
        move(updateCopy_, target_);
        return;
    }
    if (exchangeWithTarget(updateCopy_)) {
        previous_ = updateCopy_;
        move(updateCopy_, backup_);
        previous_ = backup_;
        return;
    }
    // Without the exchange the target is empty between these two renames, and only then.
    move(target_, backup_);
    previous_ = backup_;
    move(updateCopy_, target_);
}

void BundleSwap::removeUpdateCopyQuietly()
{
    if (previous_ != updateCopy_)
        removeQuietly(updateCopy_);
}

void BundleSwap::restorePrevious()
{
    // A failed exchange leaves everything where it was.
    const bool setAside = FileSystem::exists(target_);
    if (setAside && exchangeBack())
        return;
    // The failed bundle goes aside under a hidden name of its own, free even when a quiet removal
    // left something behind, and is removed from there once the previous bundle is back.
    const QString aside = hiddenName(updatePrefix, newUuid());
    if (setAside)
        move(target_, aside);
    try {
        move(previous_, target_);
    } catch (const std::exception &) {
        if (setAside)
            removeQuietly(aside);  // unwanted even when nothing can take its place
        throw;
    }
    previous_.clear();
    if (setAside)
        removeQuietly(aside);
}

void BundleSwap::removeBackup()
{
    remove(previous_);
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
            removeQuietly(path);
    }
}

bool BundleSwap::exchangeWithTarget(const QString &other)
{
    return atomicExchange_ && FileSystem::exchangeItems(other, target_);
}

bool BundleSwap::exchangeBack()
{
    try {
        if (!exchangeWithTarget(previous_))
            return false;
    } catch (const std::exception &) {
        return false;  // the renames below may still work
    }
    removeQuietly(previous_);
    previous_.clear();
    return true;
}

void BundleSwap::announce(SwapStep step, const QString &path) const
{
    if (beforeStep_)
        beforeStep_(step, path);
}

void BundleSwap::move(const QString &from, const QString &to)
{
    announce(SwapStep::rename, from);
    FileSystem::moveItem(from, to);
}

void BundleSwap::remove(const QString &path)
{
    announce(SwapStep::remove, path);
    FileSystem::removeItem(path);
}

void BundleSwap::removeQuietly(const QString &path)
{
    announce(SwapStep::remove, path);
    FileSystem::removeItemQuietly(path);
}
