#pragma once

#include <QStringView>
#include <QtGlobal>

#include <optional>

// The one strict reader of decimal integers: an optional single "+" or "-", then one or more
// ASCII digits and nothing else, within the signed 64-bit range.
std::optional<qint64> parseDecimalInteger(QStringView text);
