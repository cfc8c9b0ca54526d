// Longest stall of the main event loop while a three-second installer command, a status
// refresh and an update check (against a local HTTPS feed) run at once. A 1 ms timer ticks
// on the main thread; the longest gap between ticks, less the tick interval, is the stall.
// The same measurement with nothing running is printed as the reference.
#include "LocalHttpsServer.h"
#include "ServiceController.h"
#include "TestCertificate.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Runs the event loop until done() holds, returning the longest stall in milliseconds.
double longestStall(const std::function<bool()> &done, int minimumMs)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 worst = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    QEventLoop loop;
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
        if (done() && clock.elapsed() >= minimumMs)
            loop.quit();
    });
    ticker.start();
    loop.exec();
    return std::max(0.0, double(worst) / 1e6 - 1.0);
}

QByteArray manifest(const char *component, const char *version)
{
    return QByteArray(R"({"schemaVersion":1,"component":")") + component + R"(","version":")" + version
        + R"(","buildNumber":2,"releasedAt":"2025-01-31T08:00:00Z","artifacts":[{"name":"Quillo-Edge-macOS-x86_64.dmg","size":1,"sha256":")"
        + QByteArray(64, 'a') + R"(","url":"https://127.0.0.1:1/x.dmg"}]})";
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral(".cache"))));
    QGuiApplication application(argc, argv);

    TestCertificate certificate;
    if (!certificate.isValid())
        qFatal("%s", qPrintable(certificate.error()));
    LocalHttpsServer feed(certificate);
    feed.route(QStringLiteral("/macos.json"), ScriptedResponse::ok(manifest("macos", "9.0.0")));
    feed.route(QStringLiteral("/edge.json"), ScriptedResponse::ok(manifest("edge-server", "9.0.0")));

    // A stand-in installer: "start" takes three seconds, "status" half a second.
    ServiceStatus status = ServiceStatus::unavailable();
    status.installed = status.managed = status.running = status.healthy = true;
    status.version = QStringLiteral("2.0.1");
    const QString script = home.filePath(QStringLiteral("install.sh"));
    writeFile(script, "case \"$1\" in\n"
                      "status) sleep 0.5; printf '%s\\n' '"
                          + QJsonDocument(status.toJson()).toJson(QJsonDocument::Compact)
                          + "' ;;\n"
                            "start) sleep 3; echo '{\"event\":\"started\",\"progress\":100,\"message\":\"已启动\"}' ;;\n"
                            "esac\n");
    qputenv("QUILLO_MANAGER_INSTALLER", QFile::encodeName(script));

    ServiceControllerSetup setup;
    setup.feed = std::make_shared<const ReleaseFeedClient>(certificate.clientConfiguration());
    setup.managerLine = ReleaseLine::macOS();
    setup.managerLine.manifestURL = feed.url(QStringLiteral("/macos.json"));
    setup.serverManifestUrl = feed.url(QStringLiteral("/edge.json"));
    setup.homeDirectory = home.path();
    setup.cachesDirectory = home.filePath(QStringLiteral("caches"));
    ServiceController controller(std::move(setup));

    const double idle = longestStall([] { return true; }, 3500);

    double worst = 0;
    const int rounds = 3;
    for (int round = 0; round < rounds; ++round) {
        bool refreshed = false;
        auto connection = QObject::connect(&controller, &ServiceController::statusRead, [&] { refreshed = true; });
        controller.refresh();
        controller.start();
        controller.checkForUpdates();
        const double stall = longestStall(
            [&] { return refreshed && !controller.isBusy() && !controller.isCheckingUpdates(); }, 0);
        QObject::disconnect(connection);
        if (controller.errorMessage() || controller.updateMessage() != QStringLiteral("发现可用更新"))
            qFatal("round failed: %s / %s", qPrintable(controller.errorMessage().value_or(QString())),
                   qPrintable(controller.updateMessage().value_or(QString())));
        std::printf("round %d: longest stall %.2f ms\n", round + 1, stall);
        worst = std::max(worst, stall);
    }
    std::printf("idle reference: longest stall %.2f ms\n", idle);
    std::printf("command + refresh + update check: longest stall %.2f ms (target < 20 ms) %s\n", worst,
                worst < 20 ? "OK" : "OVER");
    return 0;
}
