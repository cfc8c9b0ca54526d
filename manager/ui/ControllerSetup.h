#pragma once

#include "ServiceController.h"

// The outside world of the program as built: the shipped feed and trust store, unless the
// build names other ones (see ControllerSetup.cpp).
ServiceControllerSetup controllerSetup();
