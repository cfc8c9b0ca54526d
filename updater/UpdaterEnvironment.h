#pragma once

#include "SwapStep.h"
#include "Toolset.h"

#include <QString>

#include <chrono>

// Everything the updater takes from the machine it runs on. The shipped program uses system();
// tests build one around temporary folders and fixture tools.
struct UpdaterEnvironment
{
    QString homeDirectory;
    QString cachesDirectory;     // the user's caches folder; empty when it cannot be located
    QString mountPointParent;    // where private mount points are created
    Toolset tools;
    std::chrono::milliseconds exitDeadline{120000};
    std::chrono::milliseconds exitProbeInterval{200};
    bool atomicExchange = true;  // swap bundles in one step where the file system can
    SwapStepHook beforeSwapStep;

    static UpdaterEnvironment system();
};
