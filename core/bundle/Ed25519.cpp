#include "bundle/Ed25519.h"

#include "release/Sha256.h"
#include "text/UserFacingError.h"

#include <QFile>

#include <memory>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace {

struct KeyDeleter
{
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
};
struct ContextDeleter
{
    void operator()(EVP_MD_CTX *context) const { EVP_MD_CTX_free(context); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using Context = std::unique_ptr<EVP_MD_CTX, ContextDeleter>;

Key readPrivateKey(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw SystemError(file.errorString());
    const QByteArray pem = file.readAll();
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.constData(), int(pem.size())), BIO_free);
    Key key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
    if (!key || EVP_PKEY_id(key.get()) != EVP_PKEY_ED25519)
        throw SystemError(QStringLiteral("Not an Ed25519 private key: ") + path);
    return key;
}

QByteArray publicKeyOf(EVP_PKEY *key)
{
    unsigned char *der = nullptr;
    const int length = i2d_PUBKEY(key, &der);
    if (length <= 0)
        throw SystemError(QStringLiteral("The public key could not be encoded"));
    QByteArray result(reinterpret_cast<const char *>(der), length);
    OPENSSL_free(der);
    return result;
}

} // namespace

namespace Ed25519 {

Signed sign(const QString &privateKeyPath, const QByteArray &message)
{
    const Key key = readPrivateKey(privateKeyPath);
    const Context context(EVP_MD_CTX_new());
    QByteArray signature(64, Qt::Uninitialized);
    size_t length = size_t(signature.size());
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1
        || EVP_DigestSign(context.get(), reinterpret_cast<unsigned char *>(signature.data()), &length,
                          reinterpret_cast<const unsigned char *>(message.constData()), size_t(message.size())) != 1)
        throw SystemError(QStringLiteral("The signature could not be made"));
    signature.truncate(qsizetype(length));
    return {publicKeyOf(key.get()), signature};
}

bool verify(const QByteArray &publicKey, const QByteArray &message, const QByteArray &signature)
{
    const auto *der = reinterpret_cast<const unsigned char *>(publicKey.constData());
    const Key key(d2i_PUBKEY(nullptr, &der, long(publicKey.size())));
    // Only the canonical encoding, whole: one key must have exactly one fingerprint.
    if (!key || EVP_PKEY_id(key.get()) != EVP_PKEY_ED25519 || publicKeyOf(key.get()) != publicKey)
        return false;
    const Context context(EVP_MD_CTX_new());
    return context && EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1
        && EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char *>(signature.constData()),
                            size_t(signature.size()), reinterpret_cast<const unsigned char *>(message.constData()),
                            size_t(message.size()))
        == 1;
}

QString fingerprint(const QByteArray &publicKey)
{
    Sha256 hash;
    hash.addData(publicKey.constData(), publicKey.size());
    return hash.hexDigest();
}

} // namespace Ed25519
