// The manager window against a plain Qt Quick Controls window of the same size, each started as
// a fresh child process of this program (times run from just before the spawn):
//  - first frame: until the window swaps its first frame;
//  - first status: until the first frame showing a status read from the installer;
//  - management page: with the stand-in print service installed and healthy, until the page
//    view has loaded the page, against a plain window whose page view loads the same address;
//  - idle CPU with the page showing, over the whole process tree (web engine helpers and the
//    status polls' installer runs included);
//  - memory (PSS) over the whole process tree, with and without the page.
// The manager child loads the real Main.qml with a real ServiceController; only its release feed
// points at a closed loopback port, so nothing leaves this machine. The stand-in service runs
// on a free loopback port in a temporary folder and is uninstalled at the end.
// Usage (with a display, e.g. under xvfb-run): bench_window [runs, default 5] [idle seconds, default 60]
#include "ApplicationSetup.h"
#include "ServiceController.h"
#include "WindowChild.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QHostAddress>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QWebEngineLoadingInfo>
#include <QtQml/qqmlextensionplugin.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(QuilloEdgeUiPlugin)
Q_IMPORT_QML_PLUGIN(QuilloEdgeControllerPlugin)

namespace {

constexpr int settleSeconds = 5;

// ---------------------------------------------------------------------------------------------
// The children

// Reports "page" when a watched page view has loaded its page, "page-failed" when it could not.
class PageWatcher : public QObject
{
    Q_OBJECT

public:
    // The view the loader creates, each time it creates one.
    void watchLoader(QObject *loader)
    {
        loader_ = loader;
        connect(loader, SIGNAL(itemChanged()), this, SLOT(loaderItemChanged()));
    }

    void watchView(QObject *view)
    {
        connect(view, SIGNAL(loadingChanged(QWebEngineLoadingInfo)), this, SLOT(loadingChanged(QWebEngineLoadingInfo)));
    }

private slots:
    void loaderItemChanged()
    {
        if (auto *view = loader_->property("item").value<QObject *>())
            watchView(view);
    }

    void loadingChanged(const QWebEngineLoadingInfo &info)
    {
        if (reported_)
            return;
        if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus)
            reportEvent("page");
        else if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus)
            reportEvent("page-failed");
        else
            return;
        reported_ = true;
    }

private:
    QObject *loader_ = nullptr;
    bool reported_ = false;
};

// The object of that name among the window's objects and items.
QObject *findNamed(QObject *root, const QString &name)
{
    if (root->objectName() == name)
        return root;
    QObjectList next = root->children();
    if (auto *item = qobject_cast<QQuickItem *>(root))
        for (QQuickItem *child : item->childItems())
            next.append(child);
    if (auto *window = qobject_cast<QQuickWindow *>(root))
        next.append(window->contentItem());
    for (QObject *child : std::as_const(next))
        if (QObject *found = findNamed(child, name))
            return found;
    return nullptr;
}

// The real main window with a real controller, as the shipped program makes them.
int runManagerWindow(int argc, char **argv, const QString &bundlePath)
{
    prepareWebEngine();
    QGuiApplication application(argc, argv);
    configureApplication(application);

    ServiceControllerSetup setup;
    setup.bundle = AppBundle(bundlePath);
    setup.managerLine.manifestURL = QUrl(QStringLiteral("https://127.0.0.1:1/macos.json"));
    setup.serverManifestUrl = QUrl(QStringLiteral("https://127.0.0.1:1/edge.json"));
    ServiceController controller(std::move(setup));

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.setInitialProperties({{QStringLiteral("controller"), QVariant::fromValue(&controller)}});
    engine.load(QUrl(QStringLiteral("qrc:/QuilloEdge/Main.qml")));
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    QObject *loader = window ? findNamed(window, QStringLiteral("dashboardLoader")) : nullptr;
    if (!loader)
        return 1;

    FrameReporter frames(window);
    // Connected after the window's bindings, so the status card shows the status by then.
    bool statusSeen = false;
    QObject::connect(&controller, &ServiceController::statusChanged, &frames, [&] {
        if (statusSeen)
            return;
        statusSeen = true;
        reportEvent("status");
        frames.reportAtNextFrame("status-shown");
        const QObject *title = findNamed(window, QStringLiteral("statusTitle"));
        std::fprintf(stderr, "status title: %s\n", title ? qPrintable(title->property("text").toString()) : "(none)");
    });
    PageWatcher page;
    page.watchLoader(loader);
    quitWhenInputCloses();
    return application.exec();
}

// A plain window of the same size holding only a page view that loads the address at once.
int runPageWindow(int argc, char **argv, const QUrl &url)
{
    prepareWebEngine();
    QGuiApplication application(argc, argv);
    QQuickStyle::setStyle(QStringLiteral("Fusion"));

    QQmlApplicationEngine engine;
    engine.setInitialProperties({{QStringLiteral("pageUrl"), url}});
    engine.loadData(R"(
import QtQuick
import QtQuick.Controls
import QtWebEngine

ApplicationWindow {
    required property url pageUrl
    title: "Plain window with a page"
    width: 1180
    height: 760
    visible: true
    WebEngineView {
        objectName: "pageView"
        anchors.fill: parent
        url: pageUrl
    }
}
)");
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    QObject *view = window ? findNamed(window, QStringLiteral("pageView")) : nullptr;
    if (!view)
        return 1;

    FrameReporter frames(window);
    PageWatcher page;
    page.watchView(view);
    quitWhenInputCloses();
    return application.exec();
}

// ---------------------------------------------------------------------------------------------
// The parent

struct Setup
{
    QString self;
    QString reference;
    QString bundle;
    QString installer;
    QProcessEnvironment environment;
    QString log;
    QUrl pageUrl;
};

// One child process and the events it reported.
class Child
{
public:
    enum class Kind { Plain, PlainWithPage, Manager };

    Child(const Setup &setup, Kind kind)
    {
        process_.setProcessEnvironment(setup.environment);
        process_.setStandardErrorFile(setup.log, QIODevice::Append);
        QString program = setup.self;
        QStringList arguments;
        switch (kind) {
        case Kind::Plain: program = setup.reference; break;
        case Kind::PlainWithPage: arguments = {QStringLiteral("--child-page"), setup.pageUrl.toString()}; break;
        case Kind::Manager: arguments = {QStringLiteral("--child-manager"), setup.bundle}; break;
        }
        startNs_ = monotonicNs();
        process_.start(program, arguments);
        if (!process_.waitForStarted(10000))
            throw std::runtime_error("cannot start " + program.toStdString());
    }

    ~Child()
    {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(20000)) {
            process_.kill();
            process_.waitForFinished();
        }
        // Lets the web engine's helpers go before the next child starts.
        QThread::msleep(500);
    }

    qint64 pid() const { return process_.processId(); }

    // Milliseconds from just before the spawn to the event.
    double waitFor(const QByteArray &event, int timeoutMs = 60000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!events_.contains(event)) {
            if (events_.contains("page-failed"))
                throw std::runtime_error("the page failed to load");
            if (!process_.canReadLine() && !process_.waitForReadyRead(int(deadline.remainingTime())))
                throw std::runtime_error("no \"" + event.toStdString() + "\" from the child: it exited or timed out");
            while (process_.canReadLine()) {
                const QList<QByteArray> fields = process_.readLine().trimmed().split(' ');
                bool number = false;
                const qint64 ns = fields.value(1).toLongLong(&number);
                if (fields.size() == 2 && number && !events_.contains(fields[0]))
                    events_.insert(fields[0], ns);
            }
        }
        return double(events_[event] - startNs_) / 1e6;
    }

private:
    QProcess process_;
    qint64 startNs_ = 0;
    QHash<QByteArray, qint64> events_;
};

// ---- The process tree, from /proc

struct ProcessTimes
{
    qint64 pid;
    qint64 parent;
    qint64 ownTicks; // user and system time
    qint64 childTicks; // the same of its children that have ended and been waited for
};

QList<ProcessTimes> processTree(qint64 root)
{
    QList<ProcessTimes> all;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile file(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!number || !file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = file.readAll();
        // After "pid (name) ": state, ppid, ... utime, stime, cutime, cstime as the 12th to 15th.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 15)
            continue;
        all.append({pid, fields[1].toLongLong(), fields[11].toLongLong() + fields[12].toLongLong(),
                    fields[13].toLongLong() + fields[14].toLongLong()});
    }
    QList<ProcessTimes> tree;
    QSet<qint64> members{root};
    for (qsizetype before = -1; before != members.size();) {
        before = members.size();
        for (const ProcessTimes &process : std::as_const(all))
            if (members.contains(process.parent))
                members.insert(process.pid);
    }
    for (const ProcessTimes &process : std::as_const(all))
        if (members.contains(process.pid))
            tree.append(process);
    return tree;
}

// CPU seconds of a process tree, split by where they were spent.
struct TreeCpu
{
    double root = 0; // the child process itself
    double endedChildren = 0; // its children that have ended: the manager's installer runs
    double others = 0; // every other process of the tree: the web engine's helpers, running children

    double total() const { return root + endedChildren + others; }
    TreeCpu operator-(const TreeCpu &start) const
    {
        return {root - start.root, endedChildren - start.endedChildren, others - start.others};
    }
};

TreeCpu treeCpu(qint64 root)
{
    const double tick = 1.0 / double(sysconf(_SC_CLK_TCK));
    TreeCpu cpu;
    for (const ProcessTimes &process : processTree(root)) {
        if (process.pid == root) {
            cpu.root = double(process.ownTicks) * tick;
            cpu.endedChildren = double(process.childTicks) * tick;
        } else {
            cpu.others += double(process.ownTicks + process.childTicks) * tick;
        }
    }
    return cpu;
}

double treePssMiB(qint64 root)
{
    qint64 kiB = 0;
    for (const ProcessTimes &process : processTree(root)) {
        QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(process.pid));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : file.readAll().split('\n'))
            if (line.startsWith("Pss:"))
                kiB += line.mid(4).trimmed().split(' ').value(0).toLongLong();
    }
    return double(kiB) / 1024;
}

struct Idle
{
    TreeCpu cpu;
    double pssMiB;
    qsizetype processes;
};

// After a pause to settle: CPU over idleSeconds, then memory, of the child's whole tree.
Idle measureIdle(const Child &child, int idleSeconds)
{
    QThread::sleep(settleSeconds);
    const TreeCpu before = treeCpu(child.pid());
    QThread::sleep(idleSeconds);
    const TreeCpu cpu = treeCpu(child.pid()) - before;
    return {cpu, treePssMiB(child.pid()), processTree(child.pid()).size()};
}

// ---- The stand-in service

void runInstaller(const Setup &setup, const QStringList &arguments)
{
    QProcess installer;
    installer.setProcessEnvironment(setup.environment);
    installer.setProcessChannelMode(QProcess::MergedChannels);
    installer.start(QStringLiteral("/bin/sh"), QStringList{setup.installer} + arguments + QStringList{QStringLiteral("--json")});
    if (!installer.waitForFinished(60000) || installer.exitStatus() != QProcess::NormalExit || installer.exitCode() != 0)
        throw std::runtime_error("install.sh " + arguments.join(' ').toStdString() + " failed: "
                                 + installer.readAll().toStdString());
}

// Installed for its lifetime, healthy on its loopback port.
class StandInService
{
public:
    explicit StandInService(const Setup &setup)
        : setup_(setup)
    {
        runInstaller(setup_, {QStringLiteral("install"), QStringLiteral("--binary"),
                              setup_.bundle + QStringLiteral("/Contents/Resources/Payload/quillo-edge-server")});
    }
    ~StandInService()
    {
        try {
            runInstaller(setup_, {QStringLiteral("uninstall")});
        } catch (const std::exception &failure) {
            std::fprintf(stderr, "%s\n", failure.what());
        }
    }
    void stop() { runInstaller(setup_, {QStringLiteral("stop")}); }

private:
    const Setup &setup_;
};

quint16 freeLoopbackPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        throw std::runtime_error("no free loopback port");
    return server.serverPort();
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString listed(const QList<double> &values)
{
    QStringList texts;
    for (double value : values)
        texts.append(QString::number(value, 'f', 0));
    return texts.join(QStringLiteral(" "));
}

// Without a target (0), the line is for comparison only.
void printRatio(const char *what, double value, const char *reference, double referenceValue, double target = 0,
                const char *targetText = "-")
{
    std::printf("%-26s %7.0f ms   %-30s %7.0f ms   ratio %.2fx   target %-10s %s\n", what, value, reference,
                referenceValue, value / referenceValue, targetText, target <= 0 ? "" : value <= target ? "ok" : "MISSED");
}

int runBenchmark(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int runs = std::max(1, arguments.value(1, QStringLiteral("5")).toInt());
    const int idleSeconds = std::max(1, arguments.value(2, QStringLiteral("60")).toInt());
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        throw std::runtime_error("needs a display: run under xvfb-run -a -s \"-screen 0 1280x800x24\"");

    QTemporaryDir temporary;
    const QString home = temporary.filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    const quint16 port = freeLoopbackPort();

    Setup setup;
    setup.self = QCoreApplication::applicationFilePath();
    setup.reference = QCoreApplication::applicationDirPath() + QStringLiteral("/bench_window_reference");
    setup.bundle = QStringLiteral(QUILLO_BUNDLE_DIR);
    setup.installer = setup.bundle + QStringLiteral("/Contents/Resources/Installer/install.sh");
    setup.log = temporary.filePath(QStringLiteral("children.log"));
    setup.pageUrl = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
    setup.environment = QProcessEnvironment::systemEnvironment();
    setup.environment.insert(QStringLiteral("HOME"), home);
    setup.environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    setup.environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    setup.environment.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/.local/state"));
    setup.environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    setup.environment.insert(QStringLiteral("QUILLO_EDGE_SERVER_HOME"), temporary.filePath(QStringLiteral("service")));
    setup.environment.insert(QStringLiteral("QUILLO_EDGE_SERVER_PORT"), QString::number(port));
    setup.environment.insert(QStringLiteral("QUILLO_MANAGER_INSTALLER"), setup.installer);

    try {
        StandInService service(setup);
        std::printf("stand-in service at %s; %d runs of each window\n", qPrintable(setup.pageUrl.toString()), runs);

        // Once each, not counted: loads the libraries into the page cache and makes the profile.
        {
            Child(setup, Child::Kind::Plain).waitFor("frame");
            Child(setup, Child::Kind::PlainWithPage).waitFor("page");
            Child(setup, Child::Kind::Manager).waitFor("page");
        }

        QList<double> plainFrame, pageFrame, pageLoaded, managerFrame, managerStatus, managerPage;
        for (int run = 1; run <= runs; ++run) {
            {
                Child plain(setup, Child::Kind::Plain);
                plainFrame.append(plain.waitFor("frame"));
            }
            {
                Child plainWithPage(setup, Child::Kind::PlainWithPage);
                pageFrame.append(plainWithPage.waitFor("frame"));
                pageLoaded.append(plainWithPage.waitFor("page"));
            }
            {
                Child manager(setup, Child::Kind::Manager);
                managerFrame.append(manager.waitFor("frame"));
                managerStatus.append(manager.waitFor("status-shown"));
                managerPage.append(manager.waitFor("page"));
            }
            std::printf("run %d: plain frame %.0f ms; plain with page: frame %.0f ms, page %.0f ms; "
                        "manager: frame %.0f ms, status %.0f ms, page %.0f ms\n",
                        run, plainFrame.last(), pageFrame.last(), pageLoaded.last(), managerFrame.last(),
                        managerStatus.last(), managerPage.last());
            std::fflush(stdout);
        }

        std::printf("measuring idle CPU over %d s (after %d s to settle) and memory...\n", idleSeconds, settleSeconds);
        std::fflush(stdout);
        Idle managerIdle{}, pageIdle{}, plainIdle{}, managerWithoutPage{};
        {
            Child manager(setup, Child::Kind::Manager);
            manager.waitFor("page");
            managerIdle = measureIdle(manager, idleSeconds);
        }
        {
            Child plainWithPage(setup, Child::Kind::PlainWithPage);
            plainWithPage.waitFor("page");
            pageIdle = measureIdle(plainWithPage, idleSeconds);
        }
        {
            Child plain(setup, Child::Kind::Plain);
            plain.waitFor("frame");
            plainIdle = measureIdle(plain, idleSeconds);
        }
        // Without the page: the service stopped, so the window shows its placeholder.
        service.stop();
        {
            Child manager(setup, Child::Kind::Manager);
            manager.waitFor("status-shown");
            QThread::sleep(settleSeconds);
            managerWithoutPage = {{}, treePssMiB(manager.pid()), processTree(manager.pid()).size()};
        }

        std::printf("\nfirst frame, each run (ms): plain %s | manager %s\n", qPrintable(listed(plainFrame)),
                    qPrintable(listed(managerFrame)));
        std::printf("first status shown, each run (ms): %s\n", qPrintable(listed(managerStatus)));
        std::printf("page loaded, each run (ms): plain with page %s | manager %s\n\n", qPrintable(listed(pageLoaded)),
                    qPrintable(listed(managerPage)));
        std::printf("medians of %d runs, from just before the spawn:\n", runs);
        const double plainFrameMs = median(plainFrame);
        printRatio("first frame", median(managerFrame), "plain window first frame", plainFrameMs,
                   1.3 * plainFrameMs, "<= 1.3x");
        printRatio("first frame", median(managerFrame), "plain window with page, frame", median(pageFrame));
        printRatio("first status shown", median(managerStatus), "plain window first frame", plainFrameMs, 400,
                   "< 400 ms");
        printRatio("management page loaded", median(managerPage), "plain window, page loaded", median(pageLoaded),
                   500, "< 500 ms");
        const double cpuTarget = 0.3 * idleSeconds / 60;
        std::printf("\nidle CPU over %d s, whole process tree (target manager <= %.2f s): manager with page %.2f s %s; "
                    "plain window with page %.2f s; plain window %.2f s\n",
                    idleSeconds, cpuTarget, managerIdle.cpu.total(), managerIdle.cpu.total() <= cpuTarget ? "ok" : "MISSED",
                    pageIdle.cpu.total(), plainIdle.cpu.total());
        std::printf("  manager: its own process %.2f s, its ended children (the status polls' installer runs) %.2f s, "
                    "the other processes (web engine helpers, running children) %.2f s\n",
                    managerIdle.cpu.root, managerIdle.cpu.endedChildren, managerIdle.cpu.others);
        std::printf("memory (PSS), whole process tree: manager with page %.0f MiB (%lld processes), without page "
                    "%.0f MiB (%lld); plain window with page %.0f MiB (%lld); plain window %.0f MiB (%lld)\n",
                    managerIdle.pssMiB, static_cast<long long>(managerIdle.processes), managerWithoutPage.pssMiB,
                    static_cast<long long>(managerWithoutPage.processes), pageIdle.pssMiB,
                    static_cast<long long>(pageIdle.processes), plainIdle.pssMiB, static_cast<long long>(plainIdle.processes));
        return 0;
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "bench_window: %s\n", failure.what());
        QFile log(setup.log);
        if (log.open(QIODevice::ReadOnly)) {
            const QByteArray text = log.readAll();
            std::fprintf(stderr, "end of the children's standard error:\n%s\n", text.right(4000).constData());
        }
        return 1;
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--child-manager") == 0)
        return runManagerWindow(argc, argv, QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && qstrcmp(argv[1], "--child-page") == 0)
        return runPageWindow(argc, argv, QUrl(QString::fromLocal8Bit(argv[2])));
    try {
        return runBenchmark(argc, argv);
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "bench_window: %s\n", failure.what());
        return 1;
    }
}

#include "bench_window.moc"
