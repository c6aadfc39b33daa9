#pragma once

#include "condora_export.h"

#include <QString>

class QPlainTextEdit;

namespace condora {

class FlexGrid;

/// Composes the used rows of the condition grid into a condition in the dialect of
/// analysisState().dbKind, merges it into `baseSql` before its ORDER BY tail and stores the
/// result in analysisState().resultSql; puts the condition into `preview` (may be null) and
/// returns it. Trims the Operator and Logical cells of used rows in place. Never throws: a
/// failure is reported through showError and gives an empty text, leaving resultSql alone.
CONDORA_EXPORT QString composeCondition(FlexGrid &grid, const QString &baseSql, QPlainTextEdit *preview);

} // namespace condora
