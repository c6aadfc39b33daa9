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
    case ConditionOperator::Between:
        return u"between "_s;
    case ConditionOperator::In:
        return u"in "_s;
    case ConditionOperator::NotIn:
        return u"not in "_s;
    case ConditionOperator::StartsWith:
        return u"starts with "_s;
    case ConditionOperator::EndsWith:
        return u"ends with "_s;
    }
    return QString();
}

std::optional<ConditionOperator> operatorOfCell(const QString &cell)
{
    // The words without their blank, made once: the composer and the validator ask on every
    // keystroke for every row.
    static const QList<QString> words = [] {
        QList<QString> list;
        for (int i = 0; i <= int(ConditionOperator::EndsWith); ++i) {
            list.append(operatorText(ConditionOperator(i)).trimmed());
        }
        return list;
    }();
    const QStringView word = QStringView(cell).trimmed();
    for (int i = 0; i < words.size(); ++i) {
        if (word.size() == words.at(i).size() && word.compare(words.at(i), Qt::CaseInsensitive) == 0) {
            return ConditionOperator(i);
        }
    }
    return std::nullopt;
}

bool takesValueList(ConditionOperator op)
{
    return op == ConditionOperator::Between || op == ConditionOperator::In || op == ConditionOperator::NotIn;
}

namespace {

QList<ConditionOperator> moreOperatorsFor(TypeClass typeClass)
{
    using Op = ConditionOperator;
    switch (typeClass) {
    case TypeClass::Number:
    case TypeClass::Date:
        return {Op::Between, Op::In, Op::NotIn};
    case TypeClass::String:
    case TypeClass::Other:
        return {Op::Between, Op::In, Op::NotIn, Op::StartsWith, Op::EndsWith};
    case TypeClass::LongString:
        return {Op::StartsWith, Op::EndsWith};
    case TypeClass::None:
    case TypeClass::Boolean:
        break;
    }
    return {};
}

QList<ConditionOperator> standardOperatorsFor(TypeClass typeClass)
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

} // namespace

QList<ConditionOperator> operatorsFor(TypeClass typeClass, bool moreOperators)
{
    return moreOperators ? standardOperatorsFor(typeClass) + moreOperatorsFor(typeClass)
                         : standardOperatorsFor(typeClass);
}

} // namespace condora
