#pragma once

#include <QString>
#include <QStringList>

namespace condora {

/// How many accepted conditions RecentConditions keeps for one base statement.
inline constexpr qsizetype RecentConditionCount = 10;
/// How many base statements RecentConditions keeps conditions for: the one used longest ago goes
/// first, so the saved list cannot grow without end.
inline constexpr qsizetype RecentStatementCount = 50;

/// The remembered conditions of `baseSql` in `list` (RecentConditions), newest first.
QStringList recentConditionsOf(const QString &list, const QString &baseSql);

/// `list` with `rows` as the newest condition of `baseSql`: an equal earlier one moves to the
/// front, the oldest beyond RecentConditionCount goes, and `baseSql` becomes the statement used
/// last (the one used longest ago goes beyond RecentStatementCount).
///
/// The list is a compact JSON array of {"sql": ..., "conditions": [...]} objects, the statement
/// used last first.
QString rememberCondition(const QString &list, const QString &baseSql, const QString &rows);

} // namespace condora
