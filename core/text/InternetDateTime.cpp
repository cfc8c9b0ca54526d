#include "text/InternetDateTime.h"

#include <QTimeZone>

namespace {

// The digits at [position, position + count), or nothing when any of them is not ASCII.
std::optional<int> digitsAt(QStringView text, qsizetype position, qsizetype count)
{
    int value = 0;
    for (QChar c : text.mid(position, count)) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

// Seconds east of UTC for "Z" or "±hh:mm".
std::optional<int> zoneOffset(QStringView zone)
{
    if (zone == u"Z")
        return 0;
    if (zone.size() != 6 || (zone[0] != u'+' && zone[0] != u'-') || zone[3] != u':')
        return std::nullopt;
    const auto hours = digitsAt(zone, 1, 2);
    const auto minutes = digitsAt(zone, 4, 2);
    if (!hours || !minutes || *hours > 23 || *minutes > 59)
        return std::nullopt;
    const int seconds = *hours * 3600 + *minutes * 60;
    return zone[0] == u'-' ? -seconds : seconds;
}

} // namespace

std::optional<QDateTime> parseInternetDateTime(QStringView text)
{
    constexpr qsizetype localLength = 19; // YYYY-MM-DDTHH:MM:SS
    if (text.size() <= localLength)
        return std::nullopt;
    const QStringView local = text.first(localLength);
    if (local[4] != u'-' || local[7] != u'-' || local[10] != u'T' || local[13] != u':' || local[16] != u':')
        return std::nullopt;

    const auto year = digitsAt(local, 0, 4), month = digitsAt(local, 5, 2), day = digitsAt(local, 8, 2);
    const auto hour = digitsAt(local, 11, 2), minute = digitsAt(local, 14, 2), second = digitsAt(local, 17, 2);
    const auto offset = zoneOffset(text.sliced(localLength));
    if (!year || !month || !day || !hour || !minute || !second || !offset)
        return std::nullopt;

    const QDate date(*year, *month, *day);
    const QTime time(*hour, *minute, *second);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, QTimeZone::utc()).addSecs(-*offset);
}
