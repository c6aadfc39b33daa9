#pragma once

#include "condora_export.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace condora {

/// Strict, locale-independent readings of a Value text (leading and trailing spaces allowed
/// around the whole text, nothing else extra). Documented in valuereading.cpp's header comment
/// and here:
///  - number: optional sign, digits with at most one decimal point (at least one digit in all),
///    optional exponent (e or E, optional sign, digits). No thousands separators, currency
///    signs, inner blanks or hexadecimal.
///  - date: year-month-day separated by "-", "/" or "." (the same separator twice), a four-digit
///    year, optionally followed by one space and a 24-hour time h:mm or h:mm:ss; it must be a
///    real calendar date and time.
CONDORA_EXPORT bool isReadableNumber(const QString &text);
CONDORA_EXPORT std::optional<QDateTime> readDate(const QString &text);
CONDORA_EXPORT bool isReadableDate(const QString &text);

} // namespace condora
