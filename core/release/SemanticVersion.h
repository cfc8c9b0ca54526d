#pragma once

#include <QStringView>
#include <QtGlobal>

#include <compare>
#include <optional>

// A strict three-number version: exactly "major.minor.patch" in canonical decimal.
struct SemanticVersion
{
    qint64 major = 0, minor = 0, patch = 0;

    // Nothing when the text is not exactly three canonical, non-negative decimal numbers.
    static std::optional<SemanticVersion> parse(QStringView text);

    auto operator<=>(const SemanticVersion &) const = default;
    bool operator==(const SemanticVersion &) const = default;
};
