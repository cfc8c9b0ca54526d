// Installer client overhead: status() against the same script run directly by /bin/sh, and
// draining 64 MiB on each pipe against the same script writing to /dev/null.
#include "BareShellRun.h"
#include "service/InstallerClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString writeScript(const QTemporaryDir &folder, const QString &name, const QByteArray &body)
{
    const QString path = folder.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(body);
    return path;
}

template<typename Work>
double secondsFor(int rounds, Work work)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i)
        work();
    return timer.nsecsElapsed() / 1e9;
}

void report(const char *what, double client, double reference, double target)
{
    const double ratio = client / reference;
    std::printf("%-34s client %8.3f s  reference %8.3f s  ratio %.3f  (target <= %.2f) %s\n", what,
                client, reference, ratio, target, ratio <= target ? "ok" : "MISSED");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;

    const QString status = writeScript(folder, QStringLiteral("status.sh"), R"(printf '%s\n' '{"installed":true,"managed":true,"running":true,"healthy":true,"autoStart":true,"version":"1.0.0","host":"127.0.0.1","port":6176,"url":"http://127.0.0.1:6176","installRoot":"/r","dataDir":"/d","logDir":"/l"}'
)");
    const InstallerClient statusClient(status);
    const int rounds = 300;
    // Warm both paths once before timing.
    statusClient.status();
    runShellDiscardingOutput(status);
    const double reference = secondsFor(rounds, [&] { runShellDiscardingOutput(status); });
    const double client = secondsFor(rounds, [&] { statusClient.status(); });
    report("status() x300", client, reference, 1.10);

    const QString drain = writeScript(folder, QStringLiteral("drain.sh"), R"(head -c 67108864 /dev/zero | tr '\0' o &
head -c 67108864 /dev/zero | tr '\0' e >&2
wait
)");
    const InstallerClient drainClient(drain);
    const double drainReference = secondsFor(3, [&] { runShellDiscardingOutput(drain); });
    const double drainClientTime = secondsFor(3, [&] { drainClient.run({}); });
    report("drain 64 MiB + 64 MiB x3", drainClientTime, drainReference, 1.50);

    // The same three drains by Python's subprocess.run(capture_output=True), decoding both outputs.
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), QStringLiteral(R"(import subprocess, sys, time
t = time.perf_counter()
for _ in range(3):
    r = subprocess.run(['/bin/sh', sys.argv[1]], capture_output=True)
    r.stdout.decode(); r.stderr.decode()
print(time.perf_counter() - t))"), drain});
    if (python.waitForFinished(120000) && python.exitCode() == 0)
        report("drain x3 against Python", drainClientTime, python.readAllStandardOutput().trimmed().toDouble(), 0.70);
    return 0;
}
