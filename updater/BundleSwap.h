#pragma once

#include "SwapStep.h"

#include <QString>

// Moves a new bundle into the target's place beside the installed one, keeping the previous
// bundle whole at the target or at a hidden name in the same folder until it is discarded.
// Nothing is ever removed at the target itself: a bundle leaves it by a rename first, so a
// run stopped at any moment leaves a whole bundle there, or none only between two renames.
class BundleSwap
{
public:
    // Hidden names beside the target share one fresh UUID. With atomicExchange the two bundles
    // trade places in one step where the file system can, so the target is never missing.
    BundleSwap(QString target, bool atomicExchange, SwapStepHook beforeStep = {});

    const QString &updateCopy() const;
    // Whether the previous bundle has left the target.
    bool backupMade() const;

    // Puts the update copy at the target and the previous bundle (if any) at the backup name.
    // On failure the previous bundle is still at the target or at a hidden name.
    void installUpdateCopy();
    // Removes the update copy, unless the previous bundle sits under that name.
    void removeUpdateCopyQuietly();
    // Brings the previous bundle back to the target; throws when it cannot.
    void restorePrevious();
    void removeBackup();
    // Removes what interrupted earlier swaps left beside the target: exactly the hidden names
    // this class gives, with an upper-case UUID, and nothing else.
    void removeEarlierLeftovers();

private:
    // A hidden name beside the target that a later run recognises as a leftover.
    QString hiddenName(const QString &prefix, const QString &uuid) const;
    bool exchangeWithTarget(const QString &other);
    bool exchangeBack();
    // Tells the step hook what is about to happen; a test stops the run there.
    void announce(SwapStep step, const QString &path) const;
    void move(const QString &from, const QString &to);
    void remove(const QString &path);
    void removeQuietly(const QString &path);

    QString target_;
    QString updateCopy_;
    QString backup_;
    QString previous_;  // where the previous bundle lies once it has left the target
    bool atomicExchange_;
    SwapStepHook beforeStep_;
};
