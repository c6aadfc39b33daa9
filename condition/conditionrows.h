#pragma once

#include <QString>

namespace condora {

class FlexGrid;
struct ColumnInfo;

/// The cells of one condition row of the query grid, by column index.
namespace ConditionCol {
inline constexpr int OpenBracket = 0;
inline constexpr int Column = 1;
inline constexpr int Operator = 2;
inline constexpr int Value = 3;
inline constexpr int CloseBracket = 4;
inline constexpr int Logical = 5;
inline constexpr int ColIndex = 6;
} // namespace ConditionCol

/// True when the row's Column and Operator cells are both non-blank (spaces removed).
bool isUsedConditionRow(const FlexGrid &grid, int row);
/// The same test on the two cell texts.
bool isUsedCondition(const QString &column, const QString &op);

/// The field catalog entry that a colIndex cell names (its decimal position, spaces allowed
/// around it). Throws RuntimeError: type mismatch for a text that is no whole number,
/// subscript out of range for a position outside 1 .. last entry.
const ColumnInfo &catalogEntryFor(const QString &colIndexCell);

} // namespace condora
