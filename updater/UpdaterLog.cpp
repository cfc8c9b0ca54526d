#include "UpdaterLog.h"

Q_LOGGING_CATEGORY(updaterLog, "quillo.updater", QtFatalMsg)
