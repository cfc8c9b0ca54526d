#include "release/SemanticVersion.h"

#include "text/DecimalInteger.h"

#include <QList>
#include <QString>

namespace {

// A piece counts only in its canonical form, so "01", "+1" and "-0" are not numbers here.
std::optional<qint64> canonicalNumber(QStringView piece)
{
    const std::optional<qint64> value = parseDecimalInteger(piece);
    if (!value || *value < 0 || QString::number(*value) != piece)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<SemanticVersion> SemanticVersion::parse(QStringView text)
{
    const QList<QStringView> pieces = text.split(u'.', Qt::KeepEmptyParts);
    if (pieces.size() != 3)
        return std::nullopt;

    const auto major = canonicalNumber(pieces[0]);
    const auto minor = canonicalNumber(pieces[1]);
    const auto patch = canonicalNumber(pieces[2]);
    if (!major || !minor || !patch)
        return std::nullopt;
    return SemanticVersion{*major, *minor, *patch};
}
