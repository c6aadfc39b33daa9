#pragma once

#include "analysis/queryrun.h"
#include "condition/conditionrow.h"
#include "condition/conditionterm.h"

#include <QList>

#include <functional>
#include <optional>

namespace condora {

/// Counts the rows of a statement; throws on failure.
using RowCounter = std::function<qint64(const QString &statement)>;

/// Why a condition returns no rows: the smallest set of used rows (indexes into `rows`) which,
/// each made always true (composeCondition() with alwaysTrue), give a statement that returns
/// rows. Sets are tried by size, up to `largest` rows, and in row order within a size, so the
/// answer is the first smallest set. Empty optional when no such set is found (the base
/// statement itself returns no rows, or more rows than `largest` would have to go).
std::optional<QList<int>> rowsRulingOutEveryRow(const ConditionRows &rows, const QueryRun &run,
                                                const RowCounter &count, int largest = 3);
/// The same for typed rows.
std::optional<QList<int>> rowsRulingOutEveryRow(const ConditionTerms &terms, const QueryRun &run,
                                                const RowCounter &count, int largest = 3);

} // namespace condora
