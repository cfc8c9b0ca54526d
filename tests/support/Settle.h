#pragma once

#include "BackgroundTask.h"

#include <QCoreApplication>

// Every installer and updater run started so far has ended and what awaited it has gone on, also
// when that started another run: after this, nothing a run could still do is left to happen.
inline void settle()
{
    do {
        blockingWorkPool().waitForDone();
        QCoreApplication::processEvents();
    } while (blockingWorkPool().activeThreadCount() > 0);
}
