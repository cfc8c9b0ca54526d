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
        error_ = QStringLiteral("openssl failed: ") + openssl.errorString() + u' ' + QString::fromLocal8Bit(openssl.readAll());
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

// LeakSanitizer settings for the tests that use TLS, which link this file. Two leaks are the
// libraries', set aside by name (which needs whole allocation stacks): OpenSSL frees a thread's
// random generators as the thread exits, which may be after the process ends; Qt 6.4 keeps a
// little of a transfer aborted mid-stream after a redirect (replies die with their manager anyway).
extern "C" {

__attribute__((visibility("default"), used)) const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}

__attribute__((visibility("default"), used)) const char *__lsan_default_suppressions()
{
    return "leak:RAND_get0_public\n"
           "leak:RAND_get0_private\n"
           "leak:QNetworkAccessManager::createRequest\n";
}

} // extern "C"
