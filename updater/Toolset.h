#pragma once

#include <QString>

// The platform programs the updater runs, by absolute path. The shipped program always uses
// system(); only tests build other sets.
struct Toolset
{
    QString diskImageTool;
    QString copier;
    QString signatureChecker;
    QString assessor;
    QString opener;

    static Toolset system();
};
