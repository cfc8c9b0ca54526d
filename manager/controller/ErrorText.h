#pragma once

#include <QString>

#include <exception>

// The user-facing text of a caught failure: a UserFacingError's own message, otherwise the
// exception's text as it stands.
QString errorText(std::exception_ptr failure);
