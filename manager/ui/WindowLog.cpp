#include "WindowLog.h"

Q_LOGGING_CATEGORY(pageLog, "quillo.page", QtFatalMsg)
Q_LOGGING_CATEGORY(instanceLog, "quillo.instance", QtFatalMsg)
Q_LOGGING_CATEGORY(startupLog, "quillo.startup", QtFatalMsg)
