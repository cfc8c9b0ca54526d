#pragma once

#include "AppBundle.h"

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

private:
    QString resourceDirectory() const;

    AppBundle bundle_;
};
