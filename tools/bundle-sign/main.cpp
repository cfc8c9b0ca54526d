// Signs a bundle for release: quillo-bundle-sign BUNDLE PRIVATE-KEY.pem. Prints the signer's
// fingerprint, the team that builds pinning its public key accept.
#include "bundle/BundleSignature.h"

#include <QFile>
#include <QString>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fputs("usage: quillo-bundle-sign BUNDLE PRIVATE-KEY.pem\n", stderr);
        return 2;
    }
    const QString bundle = QFile::decodeName(argv[1]);
    try {
        BundleSignature::sign(bundle, QFile::decodeName(argv[2]));
        std::printf("%s\n", BundleSignature::assess(bundle).toUtf8().constData());
        return 0;
    } catch (const UserFacingError &error) {
        std::fprintf(stderr, "%s\n", error.errorDescription().toUtf8().constData());
        return 1;
    }
}
