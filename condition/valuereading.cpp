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
        const auto clock = readClockTime(s.mid(timeAt + 1), written.fraction);
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
    if (!written) {
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
    return written.fraction.isEmpty() ? seconds : seconds + u'.' + written.fraction;
}

bool isReadableDate(const QString &text)
{
    return readDate(text).has_value();
}

} // namespace condora
