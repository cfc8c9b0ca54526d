#pragma once

#include <QString>

#include <exception>

// The text a failure shows the user: the exact message of our own errors, the system's text
// for anything else.
QString errorMessage(const std::exception &error);
