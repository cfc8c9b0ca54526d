#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

struct evp_md_ctx_st;

// SHA-256 over data given piece by piece, so a file is hashed while it is written or read.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void addData(const char *data, qsizetype length);
    // Lower-case hexadecimal, 64 digits. Ends the computation.
    QString hexDigest();

private:
    evp_md_ctx_st *context_;
};

// The lower-case hexadecimal SHA-256 of a file's contents; throws SystemError when the file
// cannot be read.
QString sha256HexOfFile(const QString &path);
