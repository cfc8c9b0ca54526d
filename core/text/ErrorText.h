#pragma once

#include <QString>

#include <exception>

// The text the user reads for a caught failure: a UserFacingError's own message, the text of
// any other exception, and a fixed text for anything that is no exception at all.
QString errorText(std::exception_ptr failure);
