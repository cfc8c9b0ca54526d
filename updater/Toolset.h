#pragma once

#include <QString>

#include <utility>

// One platform program: the file executed and the name it is called by, which is also how
// messages name it. A program run by its own path has that path as its name.
struct Tool
{
    Tool(QString program = {})
        : path(program)
        , name(std::move(program))
    {
    }
    Tool(QString program, QString calledAs)
        : path(std::move(program))
        , name(std::move(calledAs))
    {
    }

    QString path;
    QString name;
};

// The platform programs the updater runs. The shipped program always uses system(); only tests
// build other sets.
struct Toolset
{
    Tool diskImageTool;
    Tool copier;
    Tool signatureChecker;
    Tool assessor;
    Tool opener;

    static Toolset system();
};
