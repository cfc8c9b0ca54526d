#pragma once

#include "text/UserFacingError.h"

#include <QString>

// Why a bundle is not what its signer signed, in words for the user.
class BundleSignatureError final : public UserFacingError
{
public:
    explicit BundleSignatureError(QString message);
    QString errorDescription() const override;

private:
    QString message_;
};

// A bundle's signature: the inventory of everything in it (see BundleInventory) and an Ed25519
// signature over that inventory with the signer's public key, kept in Contents/_CodeSignature.
// The signing key's fingerprint names the signer, as a team does.
namespace BundleSignature {

// Writes the signature folder afresh.
void sign(const QString &bundlePath, const QString &privateKeyPath);
// The signer's fingerprint, when the signature is good and the bundle holds exactly what was
// signed: nothing missing, added or changed. Throws BundleSignatureError otherwise.
QString verify(const QString &bundlePath);
// verify(), and neither the bundle nor any file or folder in it writable by group or others.
QString assess(const QString &bundlePath);

} // namespace BundleSignature
