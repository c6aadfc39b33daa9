#pragma once

#include "analysis/columninfo.h"

#include <QList>
#include <QString>

namespace condora {

/// The cells of a condition row by column index, as the query grid shows them.
namespace ConditionCol {
inline constexpr int OpenBracket = 0;
inline constexpr int Column = 1;
inline constexpr int Operator = 2;
inline constexpr int Value = 3;
inline constexpr int CloseBracket = 4;
inline constexpr int Logical = 5;
inline constexpr int ColIndex = 6;
inline constexpr int Count = 7;
} // namespace ConditionCol

/// One row of the condition as the user wrote it, cell by cell: "(" or empty, the column's
/// name, the operator word as listed ("= ", "include ", ...), the value as typed, ")" or empty,
/// the logical word (" And ", " Or" or empty), and the column's position in the field catalog
/// as decimal text (hidden in the grid).
struct ConditionRow
{
    QString open;
    QString column;
    QString op;
    QString value;
    QString close;
    QString logical;
    QString colIndex;

    /// Used by the composer and the validator: Column and Operator both non-blank.
    bool isUsed() const;

    /// The cell at a ConditionCol index (empty outside 0..6), and setting it.
    QString cell(int col) const;
    void setCell(int col, const QString &text);

    bool operator==(const ConditionRow &) const = default;
};

using ConditionRows = QList<ConditionRow>;

/// The field catalog entry that a colIndex cell names (its decimal position, spaces allowed
/// around it). Throws RuntimeError: type mismatch for a text that is no whole number,
/// subscript out of range for a position outside 1 .. last entry.
const ColumnInfo &catalogEntryFor(const FieldCatalog &catalog, const QString &colIndexCell);

} // namespace condora
