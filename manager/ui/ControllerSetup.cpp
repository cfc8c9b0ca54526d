#include "ControllerSetup.h"

#ifdef QUILLO_FEED_FOLDER
#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QSslCertificate>

namespace {

// A build for the end-to-end update test follows a feed on loopback whose port is known only
// when the test runs: the test writes its base URL and certificate into a folder named at build
// time. Such a build also says which version it runs, for the test to see.
QByteArray feedFile(const char *name)
{
    QFile file(QStringLiteral(QUILLO_FEED_FOLDER "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

QUrl onFeed(QUrl url, const QUrl &base)
{
    url.setHost(base.host());
    url.setPort(base.port());
    return url;
}

} // namespace
#endif

ServiceControllerSetup controllerSetup()
{
    ServiceControllerSetup setup;
#ifdef QUILLO_FEED_FOLDER
    const QUrl base = QUrl::fromEncoded(feedFile("base-url"));
    setup.managerLine.manifestURL = onFeed(setup.managerLine.manifestURL, base);
    setup.serverManifestUrl = onFeed(setup.serverManifestUrl, base);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(QSslCertificate::fromData(feedFile("certificate.pem")));
    setup.feed = std::make_shared<const ReleaseFeedClient>(tls);

    QSaveFile started(QStringLiteral(QUILLO_FEED_FOLDER "/started-") + setup.bundle.infoValue(
        QStringLiteral("CFBundleShortVersionString")).toString());
    if (started.open(QIODevice::WriteOnly) && started.write(QByteArray::number(QCoreApplication::applicationPid())) > 0)
        started.commit();
#endif
    return setup;
}
