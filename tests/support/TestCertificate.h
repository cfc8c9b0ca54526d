#pragma once

#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QString>
#include <QTemporaryDir>

// A self-signed certificate for 127.0.0.1, made with the openssl command when constructed.
// isValid() is false (and error() says why) when openssl is missing or fails.
class TestCertificate
{
public:
    TestCertificate();

    bool isValid() const { return !certificate_.isNull() && !key_.isNull(); }
    const QString &error() const { return error_; }

    const QSslCertificate &certificate() const { return certificate_; }
    const QSslKey &privateKey() const { return key_; }
    // PEM file of the certificate, for programs such as curl.
    QString certificatePath() const;

    // What a server presents: this certificate and its key.
    QSslConfiguration serverConfiguration() const;
    // What a client under test uses: trusts this certificate and nothing else.
    QSslConfiguration clientConfiguration() const;

private:
    QTemporaryDir folder_;
    QSslCertificate certificate_;
    QSslKey key_;
    QString error_;
};
