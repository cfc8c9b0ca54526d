#include "ControllerLog.h"

Q_LOGGING_CATEGORY(controllerLog, "quillo.controller", QtFatalMsg)
