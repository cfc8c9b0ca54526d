#include "TestCertificate.h"

#include <QFile>
#include <QProcess>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void keepKnownLibraryLeakSettings();

TestCertificate::TestCertificate()
{
    keepKnownLibraryLeakSettings();
    const QString keyPath = folder_.filePath(QStringLiteral("key.pem"));
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    // An elliptic-curve key is made in milliseconds; the address is what the client checks.
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-nodes"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"),
                   keyPath, QStringLiteral("-out"), certificatePath()});
    if (!openssl.waitForFinished(30'000) || openssl.exitStatus() != QProcess::NormalExit || openssl.exitCode() != 0) {
        error_ = QStringLiteral("openssl failed: ") + openssl.errorString() + u' ' + QString::fromLocal8Bit(openssl.readAll());
        return;
    }
    certificate_ = QSslCertificate(readFile(certificatePath()), QSsl::Pem);
    key_ = QSslKey(readFile(keyPath), QSsl::Ec, QSsl::Pem);
    if (!isValid())
        error_ = QStringLiteral("openssl wrote a certificate or key that cannot be read");
}

QString TestCertificate::certificatePath() const
{
    return folder_.filePath(QStringLiteral("certificate.pem"));
}

QSslConfiguration TestCertificate::serverConfiguration() const
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(certificate_);
    configuration.setPrivateKey(key_);
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

QSslConfiguration TestCertificate::clientConfiguration() const
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setCaCertificates({certificate_});
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    return configuration;
}
