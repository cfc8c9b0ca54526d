#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct ManagementPage
{
    QString version;
    QString dataDir;
    QStringList files;
    QString notice; // shown above the form when not empty

    // Outside site linked from the page; the manager opens it in the user's browser.
    static constexpr char16_t siteUrl[] = u"https://quillo.dev";

    QByteArray html() const;
};
