#pragma once

#include "bundle/AppBundle.h"

#include <QUrl>

// Where the things the manager hands to other programs sit inside its bundle. Each location
// can be redirected by an environment variable; nothing is checked or cached here, the use
// site checks and reports.
class BundleResources
{
public:
    explicit BundleResources(AppBundle bundle);

    QUrl installerURL() const;
    QUrl bundledServerURL() const;
    QUrl updaterURL() const;

    // The use-site test for the print service and the updater: a regular file we may run.
    static bool isExecutableFile(const QString &path);

private:
    QString resourceDirectory() const;

    AppBundle bundle_;
};
