// CPU cost of the main window's status polling (a silent refresh every 4 seconds) per idle
// minute, against the cost of the bare script runs it makes: the same number of
// "/bin/sh install.sh status --json" runs spawned directly with output sent to /dev/null.
// The installer client's own reads are measured too, to show which share is whose.
// Usage: bench_polling_cpu [seconds, default 60] [installer script, default a stand-in]
#include "BareShellRun.h"
#include "ServiceController.h"
#include "service/InstallerClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr std::chrono::milliseconds pollInterval{4000};

// Runs the event loop, idle between events, until done() holds; checked every 100 ms.
void runUntil(const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(100);
    loop.exec();
}

// CPU seconds of this process and of its waited-for children.
double cpuSeconds()
{
    const auto seconds = [](const rusage &usage) {
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return seconds(self) + seconds(children);
}

// CPU seconds spent while the event loop runs for that many seconds.
double cpuDuring(int seconds)
{
    const double start = cpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return cpuSeconds() - start;
}

// CPU seconds of count runs of work, one every pollInterval, as the polling loop makes them.
double cpuOfSpacedRuns(int count, const std::function<void()> &work)
{
    const double start = cpuSeconds();
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    int done = 0;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (done++ == count)
            loop.quit();
        else
            work();
    });
    timer.start(pollInterval);
    loop.exec();
    return cpuSeconds() - start;
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int seconds = arguments.size() > 1 ? arguments[1].toInt() : 60;

    QString script = arguments.size() > 2 ? arguments[2] : QString();
    if (script.isEmpty()) {
        ServiceStatus status = ServiceStatus::unavailable();
        status.installed = status.managed = status.running = status.healthy = true;
        status.version = QStringLiteral("2.0.1");
        script = home.filePath(QStringLiteral("install.sh"));
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write the stand-in");
        file.write("printf '%s\\n' '" + QJsonDocument(status.toJson()).toJson(QJsonDocument::Compact) + "'\n");
    }
    qputenv("QUILLO_MANAGER_INSTALLER", QFile::encodeName(script));

    // The feed is unreachable on purpose (nothing listens on port 1 of this machine); the one
    // automatic check happens during the warm-up below.
    ServiceControllerSetup setup;
    setup.managerLine.manifestURL = QUrl(QStringLiteral("https://127.0.0.1:1/macos.json"));
    setup.serverManifestUrl = QUrl(QStringLiteral("https://127.0.0.1:1/edge.json"));
    setup.homeDirectory = home.path();
    setup.cachesDirectory = home.filePath(QStringLiteral("caches"));
    setup.pollInterval = pollInterval;
    ServiceController controller(std::move(setup));

    int refreshes = 0;
    QObject::connect(&controller, &ServiceController::statusRead, [&] { ++refreshes; });
    controller.startPolling();
    QElapsedTimer warmUp;
    warmUp.start();
    runUntil([&] { return warmUp.elapsed() >= 2000 && !controller.isCheckingUpdates() && refreshes > 0; });

    const int before = refreshes;
    const double pollingCpu = cpuDuring(seconds);
    const int polls = refreshes - before;
    controller.stopPolling();
    runUntil([&] { return refreshes > before + polls; });

    // What the same process costs in that time without polling: the loop's cost is the rest.
    const double idleCpu = cpuDuring(seconds);

    // The references are spaced like the polls: a run every few seconds on an idle machine costs
    // more CPU time than the same run back to back (cold caches, low clock).
    const double bareCpu = cpuOfSpacedRuns(polls, [&] { runShellDiscardingOutput(script, {QStringLiteral("status"), QStringLiteral("--json")}); });

    // The same reads through the installer client alone, to tell the client's share of the
    // overhead from the controller's.
    const InstallerClient client(script);
    const double clientCpu = cpuOfSpacedRuns(polls, [&] { client.status(); });

    const double perMinute = 60.0 / seconds;
    std::printf("polled %d times in %d s\n", polls, seconds);
    std::printf("process without polling: %.1f ms CPU per minute\n", idleCpu * 1000 * perMinute);
    std::printf("polling: %.1f ms CPU per minute, of which the loop: %.1f ms\n", pollingCpu * 1000 * perMinute,
                (pollingCpu - idleCpu) * 1000 * perMinute);
    std::printf("bare script runs, same spacing: %.1f ms CPU per minute\n", bareCpu * 1000 * perMinute);
    std::printf("installer client alone, same spacing: %.1f ms CPU per minute (%+.1f%% over bare)\n", clientCpu * 1000 * perMinute,
                bareCpu > 0 ? (clientCpu / bareCpu - 1) * 100 : 0);
    const double overhead = bareCpu > 0 ? ((pollingCpu - idleCpu) / bareCpu - 1) * 100 : 0;
    std::printf("overhead: %+.1f%% (target at most +10%%) %s\n", overhead, overhead <= 10 ? "OK" : "OVER");
    return 0;
}
