// Hashing throughput of sha256HexOfFile against `openssl dgst -sha256` on the same 512 MiB file.
#include "RandomFile.h"
#include "release/Sha256.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 fileSize = qint64(512) << 20;
constexpr int rounds = 3;

// Seconds taken by `openssl dgst -sha256`, and the digest it printed.
std::pair<double, QString> timeOpenssl(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), {QStringLiteral("dgst"), QStringLiteral("-sha256"), QStringLiteral("-r"), path});
    openssl.waitForFinished(120'000);
    const double seconds = timer.nsecsElapsed() / 1e9;
    return {seconds, QString::fromLatin1(openssl.readAllStandardOutput().left(64))};
}

std::pair<double, QString> timeOurs(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    const QString digest = sha256HexOfFile(path);
    return {timer.nsecsElapsed() / 1e9, digest};
}

double mebibytesPerSecond(double seconds)
{
    return double(fileSize) / (1 << 20) / seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("artifact.bin"));
    if (!writeRandomFile(path, fileSize, 42)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }

    double bestOpenssl = 1e9, bestOurs = 1e9;
    for (int round = 0; round < rounds; ++round) {
        const auto [opensslSeconds, opensslDigest] = timeOpenssl(path);
        const auto [ourSeconds, ourDigest] = timeOurs(path);
        if (opensslDigest != ourDigest) {
            std::fprintf(stderr, "digests differ: openssl %s, ours %s\n", qPrintable(opensslDigest), qPrintable(ourDigest));
            return 1;
        }
        std::printf("round %d: openssl %.3f s, ours %.3f s\n", round + 1, opensslSeconds, ourSeconds);
        bestOpenssl = std::min(bestOpenssl, opensslSeconds);
        bestOurs = std::min(bestOurs, ourSeconds);
    }
    const double ratio = mebibytesPerSecond(bestOurs) / mebibytesPerSecond(bestOpenssl);
    std::printf("SHA-256 of 512 MiB, best of %d: openssl %.0f MiB/s, ours %.0f MiB/s, ratio %.2f (target >= 0.90)\n",
                rounds, mebibytesPerSecond(bestOpenssl), mebibytesPerSecond(bestOurs), ratio);
    return 0;
}
