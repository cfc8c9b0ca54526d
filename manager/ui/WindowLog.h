#pragma once

#include <QLoggingCategory>

// Off unless a logging rule turns them on, e.g. QT_LOGGING_RULES="quillo.page=true;quillo.instance=true".
// "quillo.page": each load and navigation decision of the management page view.
Q_DECLARE_LOGGING_CATEGORY(pageLog)
// "quillo.instance": each single-instance hand-over.
Q_DECLARE_LOGGING_CATEGORY(instanceLog)
// "quillo.startup": the main window's first frame and its first frame showing a status read.
Q_DECLARE_LOGGING_CATEGORY(startupLog)
