#include "BundleResources.h"

#include <QDir>
#include <QFileInfo>

namespace {

QUrl overriddenOr(const char *variable, const QString &bundledPath)
{
    if (!qEnvironmentVariableIsSet(variable))
        return QUrl::fromLocalFile(bundledPath);
    // An empty value stays empty, so the use site reports it instead of picking the current
    // folder; a relative one is taken against the current folder, as a file URL would be.
    const QString value = qEnvironmentVariable(variable);
    if (value.isEmpty())
        return {};
    return QUrl::fromLocalFile(QDir::current().absoluteFilePath(value));
}

} // namespace

BundleResources::BundleResources(AppBundle bundle)
    : bundle_(std::move(bundle))
{
}

bool BundleResources::isExecutableFile(const QString &path)
{
    const QFileInfo info(path);
    return !path.isEmpty() && info.isFile() && info.isExecutable();
}

QString BundleResources::resourceDirectory() const
{
    return bundle_.path() + QStringLiteral("/Contents/Resources");
}

QUrl BundleResources::installerURL() const
{
    return overriddenOr("QUILLO_MANAGER_INSTALLER", resourceDirectory() + QStringLiteral("/Installer/install.sh"));
}

QUrl BundleResources::bundledServerURL() const
{
    return overriddenOr("QUILLO_MANAGER_EDGE_BINARY",
                        resourceDirectory() + QStringLiteral("/Payload/quillo-edge-server"));
}

QUrl BundleResources::updaterURL() const
{
    return overriddenOr("QUILLO_MANAGER_UPDATER", bundle_.path() + QStringLiteral("/Contents/Helpers/QuilloEdgeUpdater"));
}
