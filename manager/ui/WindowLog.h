#pragma once

#include <QLoggingCategory>

// Off unless a logging rule turns them on, e.g. QT_LOGGING_RULES="quillo.page=true;quillo.instance=true".
// "quillo.page": each navigation decision of the management page view.
Q_DECLARE_LOGGING_CATEGORY(pageLog)
// "quillo.instance": each single-instance hand-over.
Q_DECLARE_LOGGING_CATEGORY(instanceLog)
