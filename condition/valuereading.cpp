#include "condition/valuereading.h"

#include "platform/textfunctions.h"

#include <QStringView>
#include <QTimeZone>

namespace condora {

namespace {

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

std::optional<QTime> readClockTime(QStringView s)
{
    const auto parts = s.split(QLatin1Char(':'));
    if (parts.size() != 2 && parts.size() != 3) {
        return std::nullopt;
    }
    const int hour = digitField(parts.at(0), 1, 2);
    const int minute = digitField(parts.at(1), 2, 2);
    const int second = parts.size() == 3 ? digitField(parts.at(2), 2, 2) : 0;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    return QTime(hour, minute, second);
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

std::optional<QDateTime> readDate(const QString &text)
{
    const QString trimmed = text::trim(text);
    const QStringView s(trimmed);
    const qsizetype blankAt = s.indexOf(QLatin1Char(' '));
    const auto date = readCalendarDate(blankAt < 0 ? s : s.left(blankAt));
    if (!date) {
        return std::nullopt;
    }
    QTime time(0, 0);
    if (blankAt >= 0) {
        const auto clock = readClockTime(s.mid(blankAt + 1));
        if (!clock) {
            return std::nullopt;
        }
        time = *clock;
    }
    return QDateTime(*date, time, QTimeZone::utc());
}

bool isReadableDate(const QString &text)
{
    return readDate(text).has_value();
}

} // namespace condora
