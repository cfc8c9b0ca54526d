#include "WindowLog.h"

Q_LOGGING_CATEGORY(pageLog, "quillo.page", QtWarningMsg)
Q_LOGGING_CATEGORY(instanceLog, "quillo.instance", QtWarningMsg)
