// Version texts: the input read alone, and split at its first line feed into a pair to compare.
#include "FuzzCheck.h"
#include "release/SemanticVersion.h"
#include "text/Utf8Text.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <compare>

namespace {

QString printed(const SemanticVersion &version)
{
    return QStringLiteral("%1.%2.%3").arg(version.major).arg(version.minor).arg(version.patch);
}

// A canonical number: ASCII digits, no leading zero unless it is "0".
bool isCanonicalNumber(QStringView piece)
{
    if (piece.isEmpty() || (piece.size() > 1 && piece.front() == u'0'))
        return false;
    return std::all_of(piece.begin(), piece.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

std::optional<SemanticVersion> checkedParse(const QString &text)
{
    const std::optional<SemanticVersion> version = SemanticVersion::parse(text);
    if (!version)
        return std::nullopt;
    FUZZ_CHECK(version->major >= 0 && version->minor >= 0 && version->patch >= 0);
    FUZZ_CHECK(printed(*version) == text);
    FUZZ_CHECK(SemanticVersion::parse(printed(*version)) == version);
    const QStringList pieces = text.split(u'.');
    FUZZ_CHECK(pieces.size() == 3 && std::all_of(pieces.begin(), pieces.end(), isCanonicalNumber));
    return version;
}

// Canonical numbers order by length first, then digit by digit; versions by their numbers in
// turn. Computed on the text, apart from the integers the parser made.
std::strong_ordering textualOrder(const QString &left, const QString &right)
{
    const QStringList a = left.split(u'.'), b = right.split(u'.');
    for (qsizetype index = 0; index < 3; ++index) {
        if (const auto bySize = a[index].size() <=> b[index].size(); bySize != 0)
            return bySize;
        if (const int byDigits = a[index].compare(b[index]); byDigits != 0)
            return byDigits <=> 0;
    }
    return std::strong_ordering::equal;
}

void checkPair(const SemanticVersion &a, const SemanticVersion &b)
{
    const int holding = int(a < b) + int(a == b) + int(a > b);
    FUZZ_CHECK(holding == 1);
    FUZZ_CHECK((a < b) == (b > a) && (a <= b) == !(a > b) && (a >= b) == !(a < b));
    FUZZ_CHECK((a == b) == (printed(a) == printed(b)));
    FUZZ_CHECK((a <=> b) == textualOrder(printed(a), printed(b)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = decodeUtf8Exactly(fuzzBytes(data, size));
    checkedParse(text);

    const qsizetype split = text.indexOf(u'\n');
    if (split < 0)
        return 0;
    const auto first = checkedParse(text.first(split));
    const auto second = checkedParse(text.sliced(split + 1));
    if (first && second) {
        checkPair(*first, *second);
        checkPair(*second, *first);
    }
    return 0;
}
