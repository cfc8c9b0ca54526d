#pragma once

#include <QDateTime>
#include <QStringView>

#include <optional>

// Reads the internet date-time form only: "YYYY-MM-DDTHH:MM:SS" then "Z" or "+hh:mm"/"-hh:mm",
// with no fraction, no lower-case letters and no spaces. The result is in UTC.
std::optional<QDateTime> parseInternetDateTime(QStringView text);
