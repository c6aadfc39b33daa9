#include "condition/valuereading.h"

#include "platform/textfunctions.h"

#include <QStringView>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

/// The most digits a fraction of a second may have (microseconds).
constexpr qsizetype MaxFractionDigits = 6;

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

/// Consumes a run of ASCII digits starting at `pos`; returns how many there were.
qsizetype skipDigits(QStringView s, qsizetype &pos)
{
    const qsizetype start = pos;
    while (pos < s.size() && isAsciiDigit(s.at(pos))) {
        ++pos;
    }
    return pos - start;
}

/// A field of `minDigits` to `maxDigits` ASCII digits as a number; -1 for anything else.
int digitField(QStringView s, qsizetype minDigits, qsizetype maxDigits)
{
    if (s.size() < minDigits || s.size() > maxDigits) {
        return -1;
    }
    int value = 0;
    for (const QChar c : s) {
        if (!isAsciiDigit(c)) {
            return -1;
        }
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

std::optional<QDate> readCalendarDate(QStringView s)
{
    qsizetype sepAt = -1;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s.at(i);
        if (c == QLatin1Char('-') || c == QLatin1Char('/') || c == QLatin1Char('.')) {
            sepAt = i;
            break;
        }
    }
    if (sepAt < 0) {
        return std::nullopt;
    }
    const QChar sep = s.at(sepAt);
    const qsizetype secondAt = s.indexOf(sep, sepAt + 1);
    if (secondAt < 0 || s.indexOf(sep, secondAt + 1) >= 0) {
        return std::nullopt;
    }
    const int year = digitField(s.left(sepAt), 4, 4);
    const int month = digitField(s.mid(sepAt + 1, secondAt - sepAt - 1), 1, 2);
    const int day = digitField(s.mid(secondAt + 1), 1, 2);
    if (year < 1 || month < 0 || day < 0 || !QDate::isValid(year, month, day)) {
        return std::nullopt;
    }
    return QDate(year, month, day);
}

/// A clock time h:mm or h:mm:ss, the seconds optionally followed by "." and one to six digits
/// (handed back in `fraction` as written).
std::optional<QTime> readClockTime(QStringView s, QString &fraction)
{
    const auto parts = s.split(QLatin1Char(':'));
    if (parts.size() != 2 && parts.size() != 3) {
        return std::nullopt;
    }
    const int hour = digitField(parts.at(0), 1, 2);
    const int minute = digitField(parts.at(1), 2, 2);
    int second = 0;
    if (parts.size() == 3) {
        QStringView seconds = parts.at(2);
        if (const qsizetype pointAt = seconds.indexOf(QLatin1Char('.')); pointAt >= 0) {
            const QStringView digits = seconds.mid(pointAt + 1);
            if (digitField(digits, 1, MaxFractionDigits) < 0) {
                return std::nullopt;
            }
            fraction = digits.toString();
            seconds = seconds.left(pointAt);
        }
        second = digitField(seconds, 2, 2);
    }
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    // The clock keeps milliseconds; further digits stay in `fraction` only.
    const int milliseconds = fraction.isEmpty() ? 0 : (fraction + u"00"_s).left(3).toInt();
    return QTime(hour, minute, second, milliseconds);
}

/// A time zone offset written right after a time: "Z", or "+"/"-" and hours hh with optional
/// minutes mm or :mm (up to 15:59). Hands back "Z" or the offset as +hh:mm.
std::optional<QString> readOffset(QStringView s)
{
    if (s == u"Z"_s || s == u"z"_s) {
        return u"Z"_s;
    }
    if (s.size() < 3 || (s.at(0) != QLatin1Char('+') && s.at(0) != QLatin1Char('-'))) {
        return std::nullopt;
    }
    const QStringView rest = s.mid(1);
    const int hours = digitField(rest.left(2), 2, 2);
    QStringView minutesText = rest.mid(2);
    if (minutesText.startsWith(QLatin1Char(':'))) {
        minutesText = minutesText.mid(1);
        if (minutesText.isEmpty()) {
            return std::nullopt;
        }
    }
    const int minutes = minutesText.isEmpty() ? 0 : digitField(minutesText, 2, 2);
    if (hours < 0 || hours > 15 || minutes < 0 || minutes > 59) {
        return std::nullopt;
    }
    return s.at(0) + QString::asprintf("%02d:%02d", hours, minutes);
}

/// Where a time zone offset starts in a clock time text (its "Z", "+" or "-"), or -1.
qsizetype offsetStart(QStringView clock)
{
    for (qsizetype i = clock.size() - 1; i > 0; --i) {
        const QChar c = clock.at(i);
        if (c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char('Z') || c == QLatin1Char('z')) {
            return i;
        }
    }
    return -1;
}

} // namespace

bool isReadableNumber(const QString &text)
{
    const QString trimmed = text::trim(text);
    const QStringView s(trimmed);
    qsizetype pos = 0;
    if (pos < s.size() && (s.at(pos) == QLatin1Char('+') || s.at(pos) == QLatin1Char('-'))) {
        ++pos;
    }
    qsizetype mantissaDigits = skipDigits(s, pos);
    if (pos < s.size() && s.at(pos) == QLatin1Char('.')) {
        ++pos;
        mantissaDigits += skipDigits(s, pos);
    }
    if (mantissaDigits == 0) {
        return false;
    }
    if (pos < s.size() && (s.at(pos) == QLatin1Char('e') || s.at(pos) == QLatin1Char('E'))) {
        ++pos;
        if (pos < s.size() && (s.at(pos) == QLatin1Char('+') || s.at(pos) == QLatin1Char('-'))) {
            ++pos;
        }
        if (skipDigits(s, pos) == 0) {
            return false;
        }
    }
    return pos == s.size();
}

std::optional<WrittenDate> readWrittenDate(const QString &text)
{
    const QString trimmed = text::trim(text);
    const QStringView s(trimmed);
    qsizetype timeAt = s.indexOf(QLatin1Char(' '));
    if (timeAt < 0) {
        timeAt = s.indexOf(QLatin1Char('T'));
    }
    const auto date = readCalendarDate(timeAt < 0 ? s : s.left(timeAt));
    if (!date) {
        return std::nullopt;
    }
    WrittenDate written;
    written.date = *date;
    if (timeAt >= 0) {
        QStringView clockText = s.mid(timeAt + 1);
        if (const qsizetype offsetAt = offsetStart(clockText); offsetAt > 0) {
            const auto offset = readOffset(clockText.mid(offsetAt));
            if (!offset) {
                return std::nullopt;
            }
            written.offset = *offset;
            clockText = clockText.left(offsetAt);
        }
        const auto clock = readClockTime(clockText, written.fraction);
        if (!clock) {
            return std::nullopt;
        }
        written.time = *clock;
    }
    return written;
}

std::optional<QDateTime> readDate(const QString &text)
{
    const auto written = readWrittenDate(text);
    if (!written || !written->offset.isEmpty()) {
        return std::nullopt;
    }
    return QDateTime(written->date, written->time.value_or(QTime(0, 0)), QTimeZone::utc());
}

QString isoDateText(const WrittenDate &written)
{
    if (!written.time) {
        return written.date.toString(u"yyyy-MM-dd"_s);
    }
    const QString seconds = QDateTime(written.date, *written.time, QTimeZone::utc()).toString(u"yyyy-MM-dd HH:mm:ss"_s);
    return (written.fraction.isEmpty() ? seconds : seconds + u'.' + written.fraction) + written.offset;
}

bool isReadableDate(const QString &text)
{
    return readDate(text).has_value();
}

bool isReadableMoney(const QString &text)
{
    bool digit = false;
    for (const QChar c : text) {
        if (isAsciiDigit(c)) {
            digit = true;
        } else if (c.category() != QChar::Symbol_Currency && !QStringView(u" ,.+-()").contains(c)) {
            return false;
        }
    }
    return digit;
}

} // namespace condora
