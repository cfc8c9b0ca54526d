#include "ControllerTestSupport.h"

#include "FakeBundle.h"
#include "Fixtures.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSignalSpy>

namespace {

// Replaced in one step: a script run by a poll at that moment reads the old or the new content.
void writeOrRemove(const QString &path, const QByteArray &content)
{
    if (content.isEmpty()) {
        QFile::remove(path);
        return;
    }
    QSaveFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit());
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

InstallerFixture::InstallerFixture()
{
    qputenv("QUILLO_MANAGER_INSTALLER", QFile::encodeName(scriptPath()));
    qputenv("QUILLO_FIXTURE_STATE", QFile::encodeName(state_.path()));
}

InstallerFixture::~InstallerFixture()
{
    qunsetenv("QUILLO_MANAGER_INSTALLER");
    qunsetenv("QUILLO_FIXTURE_STATE");
}

QString InstallerFixture::scriptPath() const
{
    return fixturePath(QStringLiteral("installer-scripted.sh"));
}

void InstallerFixture::setStatus(const ServiceStatus &status)
{
    set(QStringLiteral("status"), QStringLiteral("stdout"),
        QJsonDocument(status.toJson()).toJson(QJsonDocument::Compact) + "\n");
}

void InstallerFixture::set(const QString &command, const QString &kind, const QByteArray &content)
{
    writeOrRemove(state_.filePath(command + QLatin1Char('.') + kind), content);
}

QList<QStringList> InstallerFixture::calls() const
{
    QList<QStringList> calls;
    for (const QString &line : readLines(state_.filePath(QStringLiteral("calls")))) {
        QStringList arguments = line.split(QLatin1Char('\t'));
        arguments.removeLast(); // every argument ends in a tab
        calls.append(arguments);
    }
    return calls;
}

int InstallerFixture::callCount(const QString &command) const
{
    const QList<QStringList> all = calls();
    return int(std::count_if(all.begin(), all.end(), [&](const QStringList &call) { return call.value(0) == command; }));
}

UpdaterFixture::UpdaterFixture()
{
    QDir(state_.path()).mkpath(QStringLiteral("bin"));
    QFile::copy(fixturePath(QStringLiteral("updater-scripted.sh")), path());
    QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("QUILLO_MANAGER_UPDATER", QFile::encodeName(path()));
    qputenv("QUILLO_FIXTURE_UPDATER_STATE", QFile::encodeName(state_.path()));
}

UpdaterFixture::~UpdaterFixture()
{
    qunsetenv("QUILLO_MANAGER_UPDATER");
    qunsetenv("QUILLO_FIXTURE_UPDATER_STATE");
}

void UpdaterFixture::set(const QString &name, const QByteArray &content)
{
    writeOrRemove(state_.filePath(name), content);
}

bool UpdaterFixture::has(const QString &name) const
{
    return QFile::exists(state_.filePath(name));
}

QStringList UpdaterFixture::lines(const QString &name) const
{
    return readLines(state_.filePath(name));
}

ServiceStatus runningStatus(const QString &version)
{
    ServiceStatus status = ServiceStatus::unavailable();
    status.installed = status.managed = status.running = status.healthy = status.autoStart = true;
    status.version = version;
    status.host = QStringLiteral("127.0.0.1");
    status.installRoot = QStringLiteral("/srv/edge");
    status.dataDir = QStringLiteral("/srv/edge/data");
    status.logDir = QStringLiteral("/srv/edge/logs");
    return status;
}

QByteArray eventLine(int progress, const QString &message)
{
    return QStringLiteral(R"({"event":"step","progress":%1,"message":"%2"})").arg(progress).arg(message).toUtf8()
        + "\n";
}

QString makeManagerBundle(const QString &folder, const QString &version, qint64 build)
{
    const QString path = folder + QStringLiteral("/Quillo Edge.app");
    return FakeBundle::write(path, FakeBundle::managerInfo(version, build)) ? path : QString();
}

const QString ControllerHarness::managerPath = QStringLiteral("/quillo/releases/macos/latest/manifest.json");
const QString ControllerHarness::serverPath = QStringLiteral("/quillo/releases/edge-server/latest/manifest.json");

ControllerHarness::ControllerHarness()
{
    if (certificate_.isValid())
        feed_ = std::make_unique<LocalHttpsServer>(certificate_);
    bundlePath_ = makeManagerBundle(home_.filePath(QStringLiteral("Applications")));
}

QString ControllerHarness::error() const
{
    if (!certificate_.isValid())
        return certificate_.error();
    if (!feed_->isListening())
        return QStringLiteral("the local feed does not listen");
    return bundlePath_.isEmpty() ? QStringLiteral("no manager bundle") : QString();
}

int ControllerHarness::requestCount(const QString &path) const
{
    const QList<RecordedRequest> &all = feed_->requests();
    return int(std::count_if(all.begin(), all.end(), [&](const RecordedRequest &r) { return r.url().path() == path; }));
}

std::unique_ptr<ServiceController> ControllerHarness::make(const QString &bundle)
{
    ServiceControllerSetup setup;
    setup.bundle = AppBundle(bundle.isEmpty() ? bundlePath_ : bundle);
    setup.feed = std::make_shared<const ReleaseFeedClient>(certificate_.clientConfiguration());
    setup.managerManifestURL = feed_->url(managerPath);
    setup.serverManifestURL = serverManifestOverride.isEmpty() ? feed_->url(serverPath) : serverManifestOverride;
    setup.now = [this] { return now; };
    setup.homeDirectory = home_.path();
    setup.cachesDirectory = cachesPath();
    setup.quitApplication = [this] {
        ++quitCalls;
        quitAt = clock.elapsed();
    };
    setup.pollInterval = std::chrono::milliseconds(300);
    return std::make_unique<ServiceController>(std::move(setup));
}

bool waitUntilIdle(const ServiceController &controller)
{
    return QTest::qWaitFor([&] { return !controller.isBusy(); }, 10000);
}

bool refreshAndWait(ServiceController &controller, bool silent)
{
    // A successful read publishes the status; a due check then runs to its end.
    QSignalSpy statuses(&controller, &ServiceController::statusChanged);
    controller.refresh(silent);
    return QTest::qWaitFor([&] { return statuses.count() > 0 && !controller.isCheckingUpdates(); }, 15000);
}
