#pragma once

#include <QLoggingCategory>

// "quillo.updater": each step the update log records, each tool run with its exit status and
// time. Off unless a logging rule turns it on; standard error is otherwise the failure's alone.
Q_DECLARE_LOGGING_CATEGORY(updaterLog)
