#pragma once

#include <QString>

namespace condora {

/// A cell text prepared for the grid's generic sort: read once as a number when it is one.
struct GenericSortKey
{
    explicit GenericSortKey(const QString &text);

    QString text;
    double number = 0;
    bool isNumber = false;
};

/// Generic comparison of two cell texts, as the grid's Sort uses it (<0, 0, >0).
///
/// Both texts read as numbers (C-locale decimal notation such as "2", "-1.5", "1e3";
/// surrounding white space ignored; no group separators; not infinity or NaN): they compare
/// numerically, so "2" < "10". Otherwise a number sorts before a text (an empty cell counts as
/// text), and two texts compare case-insensitively, then case-sensitively as a tie-break.
/// The order is total, so sorting with it is well defined for any mix of values.
int genericCompare(const GenericSortKey &a, const GenericSortKey &b);
int genericCompare(const QString &a, const QString &b);

/// True when the text reads as a number under the rules above.
bool readsAsNumber(const QString &text, double *value = nullptr);

} // namespace condora
