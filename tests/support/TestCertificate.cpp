#include "TestCertificate.h"

#include <QProcess>
#include <QSslCertificate>

TestCertificate::TestCertificate()
{
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    // An elliptic-curve key is made in milliseconds; the address is what the client checks.
    openssl.start(QStringLiteral("openssl"),
                  QStringLiteral("req -x509 -nodes -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -days 2 "
                                 "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1")
                          .split(u' ')
                      + QStringList{QStringLiteral("-keyout"), keyPath(), QStringLiteral("-out"), certificatePath()});
    if (!openssl.waitForFinished(30'000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0)
        error_ = QStringLiteral("openssl failed: ") + openssl.errorString() + u' '
            + QString::fromLocal8Bit(openssl.readAll());
    else if (QSslCertificate::fromPath(certificatePath()).isEmpty())
        error_ = QStringLiteral("openssl wrote a certificate that cannot be read");
}

QSslConfiguration TestCertificate::clientConfiguration() const
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates(QSslCertificate::fromPath(certificatePath()));
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    return configuration;
}
