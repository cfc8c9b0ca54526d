#pragma once

#include <QLoggingCategory>

// "quillo.controller": commands, refreshes and update steps. Off unless switched on, e.g.
// QT_LOGGING_RULES="quillo.controller.info=true".
Q_DECLARE_LOGGING_CATEGORY(controllerLog)
