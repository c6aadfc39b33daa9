#pragma once

#include <QString>

/// Text helpers with 1-based positions, so that the statement algorithms read like their
/// description. Every helper throws RuntimeError (invalid argument) on a start below 1 or a
/// negative length instead of producing undefined behaviour. Positions past the end are
/// allowed and simply give shorter (or empty) results.
namespace condora::text {

/// Position (from 1) of the first occurrence of `what` in `in`, searching from `start`;
/// case-insensitive. 0 when not found. An empty `what` is found at `start` when start <= len+1.
int find(const QString &in, const QString &what, int start = 1);

/// Same as find(), but case-sensitive (a plain binary comparison).
int findExact(const QString &in, const QString &what, int start = 1);

/// The characters from `start` to the end.
QString mid(const QString &s, int start);
/// At most `length` characters from `start`.
QString mid(const QString &s, int start, int length);
/// The first `length` characters (all when the text is shorter).
QString left(const QString &s, int length);
/// The last `length` characters (all when the text is shorter).
QString right(const QString &s, int length);

/// Removes leading and trailing space characters (U+0020) only; tabs and line breaks stay.
QString trim(const QString &s);
QString trimLeft(const QString &s);
QString trimRight(const QString &s);

/// Replaces every occurrence of `what` by `with`, case-sensitively. An empty `what`
/// leaves the text unchanged.
QString replace(const QString &s, const QString &what, const QString &with);

/// Lower-cases letters; everything else stays.
QString lower(const QString &s);

} // namespace condora::text
