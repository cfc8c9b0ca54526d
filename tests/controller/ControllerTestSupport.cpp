#include "ControllerTestSupport.h"

#include "FakeBundle.h"
#include "Fixtures.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

namespace {

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
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
    setFile(QStringLiteral("status"), QStringLiteral("stdout"),
            QJsonDocument(status.toJson()).toJson(QJsonDocument::Compact) + "\n");
}

void InstallerFixture::setFile(const QString &command, const QString &kind, const QByteArray &content)
{
    QVERIFY(writeFile(state_.filePath(command + QLatin1Char('.') + kind), content));
}

void InstallerFixture::removeFile(const QString &command, const QString &kind)
{
    QFile::remove(state_.filePath(command + QLatin1Char('.') + kind));
}

QList<QStringList> InstallerFixture::calls() const
{
    QFile file(state_.filePath(QStringLiteral("calls")));
    QList<QStringList> calls;
    if (!file.open(QIODevice::ReadOnly))
        return calls;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        QStringList arguments = QString::fromUtf8(line).split(QLatin1Char('\t'));
        arguments.removeLast(); // every argument ends in a tab
        calls.append(arguments);
    }
    return calls;
}

int InstallerFixture::callCount(const QString &command) const
{
    int count = 0;
    for (const QStringList &call : calls())
        count += call.value(0) == command ? 1 : 0;
    return count;
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

void UpdaterFixture::setFile(const QString &name, const QByteArray &content)
{
    QVERIFY(writeFile(state_.filePath(name), content));
}

bool UpdaterFixture::hasFile(const QString &name) const
{
    return QFile::exists(state_.filePath(name));
}

QStringList UpdaterFixture::lines(const QString &name) const
{
    QFile file(state_.filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
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

QString makeManagerBundle(const QString &folder, const QString &version, qint64 build)
{
    const QString path = folder + QStringLiteral("/Quillo Edge.app");
    if (!FakeBundle::write(path, FakeBundle::managerInfo(version, build)))
        return {};
    return path;
}

TemporaryHome::TemporaryHome()
{
    qputenv("HOME", QFile::encodeName(home_.path()));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home_.filePath(QStringLiteral(".cache"))));
}
