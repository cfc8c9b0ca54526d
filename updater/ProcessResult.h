#pragma once

#include <QString>

// What a tool printed on a run that ended with status 0.
struct ProcessResult
{
    QString standardOutput;
    QString standardError;
};
