#pragma once

#include <QtGlobal>

#include <optional>
#include <string_view>

// The integer that a number written by the JSON grammar (-?digits, an optional fraction, an
// optional exponent) stands for exactly: nothing when the value has a fraction, however small
// (1e-400), or lies outside the signed 64-bit range. So 4.0e1 is 40, and 0.5e1 is 5.
std::optional<qint64> jsonWholeNumber(std::string_view written);
