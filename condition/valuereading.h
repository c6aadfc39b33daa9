#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QString>

#include <optional>

namespace condora {

/// Strict, locale-independent readings of a Value text of the condition grid. The validator
/// uses them to decide whether a value may stand in a number or date condition; the composer
/// uses readDate() to rewrite a date for the database kinds that need a fixed pattern. Both
/// ignore the user's locale completely: only ASCII digits, "+", "-", ".", "e"/"E", the date
/// separators and ":" are recognised.
///
/// Leading and trailing space characters (U+0020 only) around the whole text are allowed;
/// nothing else may be added anywhere.
///
/// A number is
///   [sign] digits [ "." [digits] ] [exponent]   or   [sign] "." digits [exponent]
/// where sign is "+" or "-", digits are one or more of 0-9, and exponent is "e" or "E", an
/// optional sign and one or more digits. So "12", "-1.5", "+.5", "5.", "1e10" and "2.5E-3" are
/// numbers; "", "1,000", "$5", "1 000", "0x1F", "1e", "--1", "1.2.3", "Inf" and "NaN" are not.
/// A text accepted here is a valid numeric literal in SQL, so emitting it bare can never carry
/// anything but a number into a statement.
///
/// A date is year, month and day, in that order, separated by "-", "/" or "." (the same
/// separator both times): a four-digit year (0001 to 9999), a one- or two-digit month and a
/// one- or two-digit day forming a real calendar date (2001-02-30 and 2001/2/31 are not).
/// It may be followed by exactly one space or one "T" and a 24-hour time h:mm or h:mm:ss (hour
/// 0 to 23 in one or two digits, minutes and seconds 00 to 59 in two digits); seconds may carry
/// a fraction of "." and one to six digits (2001-01-05T10:20:30.123456). readWrittenDate() also
/// reads a time zone offset written right after the time: "Z", or "+"/"-" with hh, hhmm or hh:mm
/// (2024-01-02 03:04:05.123456+02, the form PostgreSQL prints); readDate() reads none, as it
/// serves the databases whose date literals carry no zone. No other order of day, month and year
/// is read, whatever the locale says.
bool isReadableNumber(const QString &text);

/// A date as the user wrote it.
struct WrittenDate
{
    QDate date;
    /// The clock time (to the millisecond); absent when only a date was written.
    std::optional<QTime> time;
    /// The digits of the fraction of a second as written ("5", "123456"); empty when none.
    QString fraction;
    /// The time zone offset as "Z" or +hh:mm ("-08:00"); empty when none was written.
    QString offset;
};

/// The date and time that `text` denotes by the rule above, or nullopt.
std::optional<WrittenDate> readWrittenDate(const QString &text);

/// A written date as ISO 8601 text: yyyy-MM-dd for a date alone, yyyy-MM-dd HH:mm:ss for a date
/// with a time (seconds 00 when none were written), followed by "." and the written fraction
/// digits when there are any, and the offset (Z or +hh:mm) when one was written.
QString isoDateText(const WrittenDate &written);

/// The date (and time, midnight when none is written) that `text` denotes by the rule above,
/// or nullopt, to the millisecond (further fraction digits are dropped); nullopt as well when a
/// time zone offset is written. The result is in UTC
/// so that no local daylight-saving gap can make a written time invalid.
std::optional<QDateTime> readDate(const QString &text);

/// True when readDate() reads `text`.
bool isReadableDate(const QString &text);

/// True when `text` is an amount as PostgreSQL prints and reads a money value: at least one
/// ASCII digit, and otherwise only currency symbols, spaces, ",", ".", "+", "-" and the brackets
/// of a negative amount ("$1,000.00", "-$1,234.50", "1.000,00 €", "($5.00)"). Such a text is
/// always written quoted, so it cannot leave its literal; the database reads it by its
/// lc_monetary setting.
bool isReadableMoney(const QString &text);

} // namespace condora
