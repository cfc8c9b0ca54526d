// The shipped manager, started as a user starts it (the bundle's QuilloEdge), against plain Qt Quick
// windows of the same size, each a fresh process (times run from just before the spawn):
//  - first frame: until the window swaps its first frame, with the print service not installed
//    (no page is wanted) and with it installed and healthy;
//  - first status: until the first frame after the first status read;
//  - management page: until the page view has loaded the stand-in's page, against a plain window
//    whose page view loads the same address at once;
//  - idle CPU with the page showing, over the whole process tree (web engine helpers and the
//    status polls' installer runs included);
//  - memory (PSS) over the whole process tree, with and without the page.
// The manager reports its moments through its "quillo.startup" and "quillo.page" logs. Each one
// gets a runtime folder of its own, so a manager already running here cannot take the launch
// over. The whole benchmark runs in a network of its own with only the loopback device, so the
// manager's release feed check never leaves the machine. The stand-in service runs on a free
// loopback port in a temporary folder and is uninstalled at the end.
// Usage (with a display, e.g. under xvfb-run): bench_window [runs, default 5] [idle seconds, default 60]
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
#include <QQuickStyle>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QWebEngineLoadingInfo>
#include <QtWebEngineQuick/qtwebenginequickglobal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace {

constexpr int settleSeconds = 5;

// ---------------------------------------------------------------------------------------------
// The plain window with a page, a child of this program

// Reports "page" when the view has loaded its page, "page-failed" when it could not.
class PageWatcher : public QObject
{
    Q_OBJECT

public:
    explicit PageWatcher(QObject *view)
    {
        connect(view, SIGNAL(loadingChanged(QWebEngineLoadingInfo)), this, SLOT(loadingChanged(QWebEngineLoadingInfo)));
    }

private slots:
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
    bool reported_ = false;
};

// A plain window of the same size holding only a page view that loads the address at once, set
// up the way the web engine asks a program to.
int runPageWindow(int argc, char **argv, const QUrl &url)
{
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QtWebEngineQuick::initialize();
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
    property alias view: view
    title: "Plain window with a page"
    width: 1180
    height: 760
    visible: true
    WebEngineView {
        id: view
        anchors.fill: parent
        url: pageUrl
    }
}
)");
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    auto *view = window ? window->property("view").value<QObject *>() : nullptr;
    if (!view)
        return 1;
    FrameReporter frames(window);
    PageWatcher page(view);
    quitWhenInputCloses();
    return application.exec();
}

// ---------------------------------------------------------------------------------------------
// The parent

struct Setup
{
    QString self;
    QString reference;
    QString manager;
    QString installer;
    QString payload;
    QProcessEnvironment environment;
    QString log;
    QString runtimeFolders;
    QUrl pageUrl;
};

// The manager's log lines, "<seconds since boot> <category> <message>", as the events the plain
// windows report.
const QList<std::pair<QByteArray, QByteArray>> managerEvents = {
    {"quillo.startup first frame", "frame"},
    {"quillo.startup first status shown", "status-shown"},
    {"quillo.page loaded", "page"},
    {"quillo.page load failed", "page-failed"},
};

// One child process and the events it reported, in CLOCK_MONOTONIC nanoseconds.
class Child
{
public:
    enum class Kind { Plain, PlainWithPage, Manager };

    Child(const Setup &setup, Kind kind)
        : manager_(kind == Kind::Manager)
    {
        QProcessEnvironment environment = setup.environment;
        if (manager_) {
            // A runtime folder of its own: no other manager can be asked to come forward instead.
            static int count = 0;
            const QString runtime = setup.runtimeFolders + QStringLiteral("/%1").arg(++count);
            if (!QDir().mkpath(runtime) || !QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
                throw std::runtime_error("cannot make a runtime folder");
            environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
            environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("quillo.startup=true;quillo.page=true"));
            environment.insert(QStringLiteral("QT_MESSAGE_PATTERN"), QStringLiteral("%{time boot} %{category} %{message}"));
            process_.setStandardOutputFile(setup.log, QIODevice::Append);
            process_.setReadChannel(QProcess::StandardError);
        } else {
            process_.setStandardErrorFile(setup.log, QIODevice::Append);
        }
        process_.setProcessEnvironment(environment);
        QString program = setup.reference;
        QStringList arguments;
        if (kind == Kind::PlainWithPage) {
            program = setup.self;
            arguments = {QStringLiteral("--child-page"), setup.pageUrl.toString()};
        } else if (manager_) {
            program = setup.manager;
        }
        startNs_ = monotonicNs();
        process_.start(program, arguments);
        if (!process_.waitForStarted(10000))
            throw std::runtime_error("cannot start " + program.toStdString());
    }

    ~Child()
    {
        // The plain windows quit when their input closes; the manager as on a logout.
        process_.closeWriteChannel();
        if (manager_)
            process_.terminate();
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
            while (process_.canReadLine())
                takeLine(process_.readLine().trimmed());
        }
        return double(events_[event] - startNs_) / 1e6;
    }

private:
    void takeLine(const QByteArray &line)
    {
        const qsizetype space = line.indexOf(' ');
        bool number = false;
        if (manager_) {
            const double seconds = line.left(space).toDouble(&number);
            for (const auto &[text, event] : managerEvents)
                if (number && line.mid(space + 1).startsWith(text) && !events_.contains(event))
                    events_.insert(event, qint64(seconds * 1e9));
            return;
        }
        const qint64 ns = line.mid(space + 1).toLongLong(&number);
        if (space > 0 && number && !events_.contains(line.left(space)))
            events_.insert(line.left(space), ns);
    }

    QProcess process_;
    bool manager_;
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
        runInstaller(setup_, {QStringLiteral("install"), QStringLiteral("--binary"), setup_.payload});
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

// A figure against its reference from the same run and the ratio it must stay within; without
// a target ratio (0) the line is for comparison only.
void printRatio(const char *what, const QList<double> &values, const char *reference, const QList<double> &references,
                double targetRatio = 0)
{
    const double value = median(values);
    const double referenceValue = median(references);
    const double ratio = value / referenceValue;
    std::printf("%-34s %6.0f ms   %-30s %6.0f ms   ratio %.2fx", what, value, reference, referenceValue, ratio);
    if (targetRatio > 0)
        std::printf("   target <= %.1fx %s", targetRatio, ratio <= targetRatio ? "ok" : "MISSED");
    std::printf("\n");
}

double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().split(' ').value(0).toDouble() : -1;
}

Setup makeSetup(const QTemporaryDir &temporary)
{
    const QString home = temporary.filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    const QString bundle = QStringLiteral(QUILLO_BUNDLE_DIR);
    Setup setup;
    setup.self = QCoreApplication::applicationFilePath();
    setup.reference = QCoreApplication::applicationDirPath() + QStringLiteral("/bench_window_reference");
    setup.manager = bundle + QStringLiteral("/Contents/MacOS/QuilloEdge");
    setup.installer = bundle + QStringLiteral("/Contents/Resources/Installer/install.sh");
    setup.payload = bundle + QStringLiteral("/Contents/Resources/Payload/quillo-edge-server");
    setup.log = temporary.filePath(QStringLiteral("children.log"));
    setup.runtimeFolders = temporary.filePath(QStringLiteral("runtime"));
    setup.pageUrl = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(freeLoopbackPort()));
    setup.environment = QProcessEnvironment::systemEnvironment();
    setup.environment.insert(QStringLiteral("HOME"), home);
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
        setup.environment.remove(QString::fromLatin1(name));
    setup.environment.insert(QStringLiteral("QUILLO_EDGE_SERVER_HOME"), temporary.filePath(QStringLiteral("service")));
    setup.environment.insert(QStringLiteral("QUILLO_EDGE_SERVER_PORT"), QString::number(setup.pageUrl.port()));
    return setup;
}

struct Frames
{
    QList<double> plain, manager, status;
};

// The first frames with the print service as it is now: plain window and manager in turn.
Frames measureFrames(const Setup &setup, int runs)
{
    Frames frames;
    for (int run = 1; run <= runs; ++run) {
        frames.plain.append(Child(setup, Child::Kind::Plain).waitFor("frame"));
        Child manager(setup, Child::Kind::Manager);
        frames.manager.append(manager.waitFor("frame"));
        frames.status.append(manager.waitFor("status-shown"));
        std::printf("  run %d: plain frame %.0f ms; manager frame %.0f ms, status %.0f ms\n", run, frames.plain.last(),
                    frames.manager.last(), frames.status.last());
        std::fflush(stdout);
    }
    return frames;
}

struct Pages
{
    QList<double> plain, manager;
};

Pages measurePages(const Setup &setup, int runs)
{
    Pages pages;
    for (int run = 1; run <= runs; ++run) {
        pages.plain.append(Child(setup, Child::Kind::PlainWithPage).waitFor("page"));
        pages.manager.append(Child(setup, Child::Kind::Manager).waitFor("page"));
        std::printf("  run %d: page loaded: plain window %.0f ms, manager %.0f ms\n", run, pages.plain.last(),
                    pages.manager.last());
        std::fflush(stdout);
    }
    return pages;
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
    const Setup setup = makeSetup(temporary);
    try {
        std::printf("load average at the start: %.2f (figures are meant for a quiet machine, under 0.5)\n",
                    loadAverage());
        // Once each, not counted: loads the libraries into the page cache.
        Child(setup, Child::Kind::Plain).waitFor("frame");
        Child(setup, Child::Kind::Manager).waitFor("status-shown");

        std::printf("print service not installed, %d runs:\n", runs);
        const Frames notInstalled = measureFrames(setup, runs);

        StandInService service(setup);
        std::printf("stand-in service installed at %s, %d runs:\n", qPrintable(setup.pageUrl.toString()), runs);
        Child(setup, Child::Kind::PlainWithPage).waitFor("page"); // makes the profile; not counted
        Child(setup, Child::Kind::Manager).waitFor("page");
        const Frames healthy = measureFrames(setup, runs);
        const Pages pages = measurePages(setup, runs);

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

        std::printf("\neach run (ms), not installed: plain frame %s | manager frame %s | status %s\n",
                    qPrintable(listed(notInstalled.plain)), qPrintable(listed(notInstalled.manager)),
                    qPrintable(listed(notInstalled.status)));
        std::printf("each run (ms), healthy: plain frame %s | manager frame %s | status %s\n",
                    qPrintable(listed(healthy.plain)), qPrintable(listed(healthy.manager)),
                    qPrintable(listed(healthy.status)));
        std::printf("each run (ms), page loaded: plain window %s | manager %s\n\n", qPrintable(listed(pages.plain)),
                    qPrintable(listed(pages.manager)));
        std::printf("medians of %d runs, from just before the spawn:\n", runs);
        printRatio("first frame, service healthy", healthy.manager, "plain window first frame", healthy.plain, 1.2);
        printRatio("first frame, not installed", notInstalled.manager, "plain window first frame", notInstalled.plain,
                   1.2);
        printRatio("first status shown, healthy", healthy.status, "plain window first frame", healthy.plain, 1.6);
        printRatio("first status shown, not installed", notInstalled.status, "plain window first frame",
                   notInstalled.plain, 1.6);
        printRatio("management page loaded", pages.manager, "plain window, page loaded", pages.plain, 1.4);
        const double cpuTarget = 0.12 * idleSeconds / 60;
        std::printf("\nidle CPU over %d s, whole process tree: manager with page %.2f s (target <= %.2f s %s); "
                    "plain window with page %.2f s; plain window %.2f s\n",
                    idleSeconds, managerIdle.cpu.total(), cpuTarget, managerIdle.cpu.total() <= cpuTarget ? "ok" : "MISSED",
                    pageIdle.cpu.total(), plainIdle.cpu.total());
        std::printf("  manager: its own process %.2f s, its ended children (the status polls' installer runs) %.2f s, "
                    "the other processes (web engine helpers, running children) %.2f s\n",
                    managerIdle.cpu.root, managerIdle.cpu.endedChildren, managerIdle.cpu.others);
        std::printf("memory (PSS), whole process tree: manager with page %.0f MiB (%lld processes), without page "
                    "%.0f MiB (%lld); plain window with page %.0f MiB (%lld); plain window %.0f MiB (%lld)\n",
                    managerIdle.pssMiB, static_cast<long long>(managerIdle.processes), managerWithoutPage.pssMiB,
                    static_cast<long long>(managerWithoutPage.processes), pageIdle.pssMiB,
                    static_cast<long long>(pageIdle.processes), plainIdle.pssMiB, static_cast<long long>(plainIdle.processes));
        std::printf("load average at the end: %.2f\n", loadAverage());
        return 0;
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "bench_window: %s\n", failure.what());
        QFile log(setup.log);
        if (log.open(QIODevice::ReadOnly))
            std::fprintf(stderr, "end of the children's output:\n%s\n", log.readAll().right(4000).constData());
        return 1;
    }
}

// Starts this program again in a network of its own holding only the loopback device (a user
// namespace maps the user to root there when not root already).
[[noreturn]] void restartInOwnNetwork(int argc, char **argv)
{
    setenv("QUILLO_BENCH_OWN_NETWORK", "1", 1);
    std::vector<const char *> command{"unshare", geteuid() == 0 ? "-n" : "-rn", "sh", "-c",
                                      "ip link set lo up && exec \"$@\"", "sh"};
    for (int i = 0; i < argc; ++i)
        command.push_back(argv[i]);
    command.push_back(nullptr);
    execvp(command[0], const_cast<char *const *>(command.data()));
    std::perror("bench_window: unshare");
    std::exit(1);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--child-page") == 0)
        return runPageWindow(argc, argv, QUrl(QString::fromLocal8Bit(argv[2])));
    if (qEnvironmentVariableIsEmpty("QUILLO_BENCH_OWN_NETWORK"))
        restartInOwnNetwork(argc, argv);
    try {
        return runBenchmark(argc, argv);
    } catch (const std::exception &failure) {
        std::fprintf(stderr, "bench_window: %s\n", failure.what());
        return 1;
    }
}

#include "bench_window.moc"
