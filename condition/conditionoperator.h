#pragma once

#include "analysis/typeclass.h"

#include <QList>
#include <QString>

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
};

/// The operator as the Operator cell shows it, with its trailing blank: "> ", ">= ", "= ",
/// "<> ", "<= ", "< ", "include ", "not include ", "true ", "false ", "null ", "not null ".
QString operatorText(ConditionOperator op);

/// The operators offered for a column of `typeClass`, in list order: none for None, the truth
/// and null tests for Boolean, comparisons and null tests for Number and Date, include and null
/// tests for LongString, everything but the truth tests otherwise.
QList<ConditionOperator> operatorsFor(TypeClass typeClass);

} // namespace condora
