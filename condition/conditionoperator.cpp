#include "condition/conditionoperator.h"

using namespace Qt::StringLiterals;

namespace condora {

QString operatorText(ConditionOperator op)
{
    switch (op) {
    case ConditionOperator::Greater:
        return u"> "_s;
    case ConditionOperator::GreaterOrEqual:
        return u">= "_s;
    case ConditionOperator::Equal:
        return u"= "_s;
    case ConditionOperator::NotEqual:
        return u"<> "_s;
    case ConditionOperator::LessOrEqual:
        return u"<= "_s;
    case ConditionOperator::Less:
        return u"< "_s;
    case ConditionOperator::Include:
        return u"include "_s;
    case ConditionOperator::NotInclude:
        return u"not include "_s;
    case ConditionOperator::True:
        return u"true "_s;
    case ConditionOperator::False:
        return u"false "_s;
    case ConditionOperator::Null:
        return u"null "_s;
    case ConditionOperator::NotNull:
        return u"not null "_s;
    }
    return QString();
}

QList<ConditionOperator> operatorsFor(TypeClass typeClass)
{
    using Op = ConditionOperator;
    const QList<Op> comparisons{Op::Greater, Op::GreaterOrEqual, Op::Equal, Op::NotEqual, Op::LessOrEqual, Op::Less};
    const QList<Op> nullTests{Op::Null, Op::NotNull};
    const QList<Op> includes{Op::Include, Op::NotInclude};
    switch (typeClass) {
    case TypeClass::None:
        return {};
    case TypeClass::Boolean:
        return QList<Op>{Op::True, Op::False} + nullTests;
    case TypeClass::Number:
    case TypeClass::Date:
        return comparisons + nullTests;
    case TypeClass::LongString:
        return includes + nullTests;
    case TypeClass::String:
    case TypeClass::Other:
        break;
    }
    return comparisons + includes + nullTests;
}

} // namespace condora
