#include "json/JsonWholeNumber.h"

#include "text/DecimalInteger.h"

#include <QString>

#include <algorithm>
#include <string>

namespace {

// Far beyond any digit count a document can hold, and far from overflowing a qint64.
constexpr qint64 exponentLimit = qint64(1) << 48;

qint64 exponentOf(std::string_view written)
{
    const bool negative = written.starts_with('-');
    if (written.starts_with('-') || written.starts_with('+'))
        written.remove_prefix(1);
    qint64 exponent = 0;
    for (const char digit : written)
        exponent = std::min(exponent * 10 + (digit - '0'), exponentLimit);
    return negative ? -exponent : exponent;
}

} // namespace

std::optional<qint64> jsonWholeNumber(std::string_view written)
{
    const bool negative = written.starts_with('-');
    if (negative)
        written.remove_prefix(1);
    const std::size_t exponentAt = written.find_first_of("eE");
    const std::string_view mantissa = written.substr(0, exponentAt);
    const qint64 exponent = exponentAt == std::string_view::npos ? 0 : exponentOf(written.substr(exponentAt + 1));

    // All the digits, and how many of them stand before the decimal point once the exponent
    // has moved it.
    const std::size_t pointAt = mantissa.find('.');
    std::string digits(mantissa.substr(0, pointAt));
    qint64 beforePoint = qint64(digits.size()) + exponent;
    if (pointAt != std::string_view::npos)
        digits += mantissa.substr(pointAt + 1);

    const std::size_t firstSignificant = digits.find_first_not_of('0');
    if (firstSignificant == std::string::npos)
        return 0;
    digits.erase(0, firstSignificant);
    beforePoint -= qint64(firstSignificant);
    digits.erase(digits.find_last_not_of('0') + 1);
    if (qint64(digits.size()) > beforePoint)
        return std::nullopt;  // a non-zero digit stands after the point
    if (beforePoint > 19)
        return std::nullopt;  // twenty digits and more are beyond 64 bits
    digits.append(std::size_t(beforePoint) - digits.size(), '0');
    return parseDecimalInteger(QString::fromLatin1((negative ? "-" : "") + digits));
}
