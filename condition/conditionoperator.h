#pragma once

#include "analysis/typeclass.h"

#include <QList>
#include <QString>

#include <optional>

namespace condora {

/// The operators a condition row can use, in the order the Operator list shows them.
enum class ConditionOperator {
    Greater,
    GreaterOrEqual,
    Equal,
    NotEqual,
    LessOrEqual,
    Less,
    Include,
    NotInclude,
    True,
    False,
    Null,
    NotNull,
    // Offered only when the run allows more operators (the control's MoreOperators).
    Between,
    In,
    NotIn,
    StartsWith,
    EndsWith,
};

/// The operator as the Operator cell shows it, with its trailing blank: "> ", ">= ", "= ",
/// "<> ", "<= ", "< ", "include ", "not include ", "true ", "false ", "null ", "not null ",
/// and "between ", "in ", "not in ", "starts with ", "ends with ".
QString operatorText(ConditionOperator op);

/// The operator an Operator cell shows (blanks and case ignored), or nullopt.
std::optional<ConditionOperator> operatorOfCell(const QString &cell);

/// True for the operators whose Value cell holds a list of values (splitValueList()): between
/// (exactly two), in and not in (at least one).
bool takesValueList(ConditionOperator op);

/// The operators offered for a column of `typeClass`, in list order: none for None, the truth
/// and null tests for Boolean, comparisons and null tests for Number and Date, include and null
/// tests for LongString, everything but the truth tests otherwise. With `moreOperators` the
/// further operators follow, where they suit the type class: between, in and not in for
/// numbers, dates and short text; starts with and ends with for text.
QList<ConditionOperator> operatorsFor(TypeClass typeClass, bool moreOperators = false);

} // namespace condora
