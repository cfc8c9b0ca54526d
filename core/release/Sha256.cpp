#include "release/Sha256.h"

#include "text/UserFacingError.h"

#include <QFile>

#include <openssl/evp.h>

#include <new>

Sha256::Sha256()
    : context_(EVP_MD_CTX_new())
{
    if (!context_ || EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(context_);
        throw std::bad_alloc();
    }
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(context_);
}

void Sha256::addData(const char *data, qsizetype length)
{
    EVP_DigestUpdate(context_, data, size_t(length));
}

QString Sha256::hexDigest()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_, digest, &length);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(digest), length).toHex());
}

QString sha256HexOfFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw SystemError(file.errorString());
    Sha256 hash;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 count = file.read(buffer.data(), buffer.size());
        if (count < 0)
            throw SystemError(file.errorString());
        if (count == 0)
            return hash.hexDigest();
        hash.addData(buffer.constData(), count);
    }
}
