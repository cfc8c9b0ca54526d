// Internet date-time texts: an accepted text is a UTC instant, and writing that instant back
// with the text's own zone gives the text again.
#include "FuzzCheck.h"
#include "text/InternetDateTime.h"
#include "text/Utf8Text.h"

#include <QDateTime>
#include <QTimeZone>

namespace {

constexpr qsizetype localLength = 19;  // YYYY-MM-DDTHH:MM:SS
const QString localFormat = QStringLiteral("yyyy-MM-dd'T'HH:mm:ss");

// Seconds east of UTC that a zone text ("Z", "+hh:mm" or "-hh:mm") stands for.
int offsetSeconds(QStringView zone)
{
    if (zone == u"Z")
        return 0;
    const int seconds = zone.mid(1, 2).toInt() * 3600 + zone.mid(4, 2).toInt() * 60;
    return zone.front() == u'-' ? -seconds : seconds;
}

void checkAccepted(const QString &text, const QDateTime &instant)
{
    FUZZ_CHECK(instant.isValid() && instant.timeZone() == QTimeZone::utc());
    FUZZ_CHECK(text.size() == localLength + 1 || text.size() == localLength + 6);
    const QStringView zone = QStringView(text).sliced(localLength);

    const QString rewritten = instant.toOffsetFromUtc(offsetSeconds(zone)).toString(localFormat) + zone.toString();
    FUZZ_CHECK(rewritten == text);

    // The same instant written in UTC reads back as itself, where its year has four digits.
    const int utcYear = instant.date().year();
    if (utcYear >= 1 && utcYear <= 9999) {
        const auto inUtc = parseInternetDateTime(instant.toString(localFormat) + u'Z');
        FUZZ_CHECK(inUtc == instant);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = decodeUtf8Exactly(fuzzBytes(data, size));
    const std::optional<QDateTime> instant = parseInternetDateTime(text);
    FUZZ_CHECK(parseInternetDateTime(text) == instant);
    if (instant)
        checkAccepted(text, *instant);
    return 0;
}
