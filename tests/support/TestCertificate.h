#pragma once

#include <QSslConfiguration>
#include <QString>
#include <QTemporaryDir>

// A self-signed certificate for 127.0.0.1 and its key, made with the openssl command when
// constructed. isValid() is false (and error() says why) when openssl is missing or fails.
class TestCertificate
{
public:
    TestCertificate();

    bool isValid() const { return error_.isEmpty(); }
    const QString &error() const { return error_; }

    // PEM files of the certificate and of its key, for servers and for programs such as curl.
    QString certificatePath() const { return folder_.filePath(QStringLiteral("certificate.pem")); }
    QString keyPath() const { return folder_.filePath(QStringLiteral("key.pem")); }

    // What a client under test uses: trusts this certificate and nothing else.
    QSslConfiguration clientConfiguration() const;

private:
    QTemporaryDir folder_;
    QString error_;
};
