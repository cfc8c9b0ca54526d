#pragma once

#include <QByteArray>
#include <QString>

// Ed25519 signatures through OpenSSL. Public keys travel as DER SubjectPublicKeyInfo, private
// keys are read from PEM files as the openssl command writes them. Failures throw SystemError.
namespace Ed25519 {

struct Signed
{
    QByteArray publicKey;
    QByteArray signature;
};

Signed sign(const QString &privateKeyPath, const QByteArray &message);
// False for a key that is not an Ed25519 key, a malformed signature or a wrong one.
bool verify(const QByteArray &publicKey, const QByteArray &message, const QByteArray &signature);
// Lower-case hexadecimal SHA-256 of the public key's DER form, all 64 digits: the key's name
// wherever one key must be told from another.
QString fingerprint(const QByteArray &publicKey);

} // namespace Ed25519
