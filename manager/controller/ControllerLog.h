#pragma once

#include <QLoggingCategory>

// "quillo.controller": commands, refreshes and update steps. Off unless a logging rule turns it on,
// e.g. QT_LOGGING_RULES="quillo.controller=true".
Q_DECLARE_LOGGING_CATEGORY(controllerLog)
