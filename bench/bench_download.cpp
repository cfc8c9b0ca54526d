// Download-and-verify of a 512 MiB artifact from a loopback HTTPS server, against `curl -o`
// followed by `openssl dgst -sha256`, and the peak memory of the downloading process.
//
// The downloads run in child processes (curl, and this program started with --client) so the
// server in this process does not count towards their memory.
#include "LocalHttpsServer.h"
#include "RandomFile.h"
#include "TestCertificate.h"
#include "WaitForTask.h"
#include "release/ReleaseFeedClient.h"
#include "release/Sha256.h"
#include "text/UserFacingError.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 fileSize = qint64(512) << 20;
constexpr int rounds = 2;
constexpr int processTimeoutMilliseconds = 180'000;

// A kibibyte figure from /proc/self/status, such as VmHWM (peak resident memory).
qint64 statusKibibytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field) + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

struct ProcessRun
{
    bool ok = false;
    double seconds = 0;
    QByteArray output;
};

// Runs a program while this process's event loop keeps serving.
ProcessRun run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(processTimeoutMilliseconds, &loop, [&] { process.kill(); });
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    loop.exec();
    ProcessRun result;
    result.seconds = timer.nsecsElapsed() / 1e9;
    result.ok = process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit
             && process.exitCode() == 0;
    result.output = process.readAllStandardOutput();
    if (!result.ok)
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
    return result;
}

// Child side: one downloadAndVerify, then its own time and peak memory on standard output.
int runClient(const QStringList &arguments)
{
    const auto [url, size, sha256, folder, certificatePath] =
        std::tuple(arguments[2], arguments[3], arguments[4], arguments[5], arguments[6]);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates(QSslCertificate::fromPath(certificatePath));
    const qint64 residentBefore = statusKibibytes("VmRSS:");

    QElapsedTimer timer;
    timer.start();
    try {
        const ReleaseArtifact artifact{QStringLiteral("artifact.dmg"), size.toLongLong(), sha256, QUrl(url)};
        waitForTask(ReleaseFeedClient(tls).downloadAndVerify(artifact, folder));
    } catch (const UserFacingError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.errorDescription()));
        return 1;
    }
    std::printf("%.3f %lld %lld\n", timer.nsecsElapsed() / 1e9, residentBefore, statusKibibytes("VmHWM:"));
    return 0;
}

double mebibytesPerSecond(double seconds)
{
    return double(fileSize) / (1 << 20) / seconds;
}

int runBenchmark()
{
    TestCertificate certificate;
    if (!certificate.isValid()) {
        std::fprintf(stderr, "%s\n", qPrintable(certificate.error()));
        return 1;
    }
    QTemporaryDir folder;
    const QString source = folder.filePath(QStringLiteral("source.bin"));
    if (!writeRandomFile(source, fileSize, 7))
        return 1;
    const QString digest = sha256HexOfFile(source);

    LocalHttpsServer server(certificate);
    ScriptedResponse response;
    response.bodyFile = source;
    server.route(QStringLiteral("/artifact.dmg"), response);
    const QString url = server.url(QStringLiteral("/artifact.dmg")).toString();
    const QString curlOut = folder.filePath(QStringLiteral("curl.dmg"));
    const QString oursFolder = folder.filePath(QStringLiteral("ours"));

    double bestReference = 1e9, bestOurs = 1e9, bestInner = 1e9;
    qint64 peakKibibytes = 0, baseKibibytes = 0;
    for (int round = 0; round < rounds; ++round) {
        const ProcessRun curl = run(QStringLiteral("curl"),
                                    {QStringLiteral("-sS"), QStringLiteral("--cacert"), certificate.certificatePath(),
                                     QStringLiteral("-o"), curlOut, url});
        const ProcessRun dgst = run(QStringLiteral("openssl"), {QStringLiteral("dgst"), QStringLiteral("-sha256"), QStringLiteral("-r"), curlOut});
        if (!curl.ok || !dgst.ok || !dgst.output.startsWith(digest.toLatin1()))
            return 1;
        QFile::remove(curlOut);

        const ProcessRun ours = run(QCoreApplication::applicationFilePath(),
                                    {QStringLiteral("--client"), url, QString::number(fileSize), digest, oursFolder,
                                     certificate.certificatePath()});
        if (!ours.ok)
            return 1;
        QDir(oursFolder).removeRecursively();
        const QList<QByteArray> figures = ours.output.trimmed().split(' ');
        std::printf("round %d: curl %.3f s + openssl %.3f s = %.3f s; ours %.3f s (download and verify %.3f s)\n",
                    round + 1, curl.seconds, dgst.seconds, curl.seconds + dgst.seconds, ours.seconds,
                    figures.value(0).toDouble());
        bestReference = std::min(bestReference, curl.seconds + dgst.seconds);
        bestOurs = std::min(bestOurs, ours.seconds);
        bestInner = std::min(bestInner, figures.value(0).toDouble());
        baseKibibytes = figures.value(1).toLongLong();
        peakKibibytes = std::max(peakKibibytes, figures.value(2).toLongLong());
    }
    std::printf("Download and verify 512 MiB, best of %d: curl+openssl %.3f s (%.0f MiB/s), ours %.3f s as a process "
                "(%.0f MiB/s), time ratio ours/reference %.2f (target <= 0.85)\n",
                rounds, bestReference, mebibytesPerSecond(bestReference), bestOurs, mebibytesPerSecond(bestOurs),
                bestOurs / bestReference);
    std::printf("Peak resident memory of the downloading process: %.1f MiB (%.1f MiB before the download; target < 64 MiB)\n",
                peakKibibytes / 1024.0, baseKibibytes / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.value(1) == QStringLiteral("--client") && arguments.size() == 7)
        return runClient(arguments);
    return runBenchmark();
}
