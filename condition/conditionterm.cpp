#include "condition/conditionterm.h"

using namespace Qt::StringLiterals;

namespace condora {

ConditionTerm termOf(const ConditionRow &row)
{
    ConditionTerm term;
    term.openBrackets = int(row.open.count(u'('));
    bool ok = false;
    const int position = row.colIndex.trimmed().toInt(&ok, 10);
    term.column = ok && position > 0 ? position : 0;
    term.op = operatorOfCell(row.op);
    term.value = row.value;
    term.closeBrackets = int(row.close.count(u')'));
    term.logical = logicalWordOf(row.logical).value_or(LogicalWord::None);
    return term;
}

ConditionRow rowOf(const ConditionTerm &term, const FieldCatalog &catalog)
{
    ConditionRow row;
    row.open = QString(term.openBrackets, u'(');
    if (term.column > 0) {
        row.column = term.column < catalog.size() ? catalog.at(term.column).colName : QString();
        row.colIndex = QString::number(term.column);
    }
    row.op = term.op ? operatorText(*term.op) : QString();
    row.value = term.value;
    row.close = QString(term.closeBrackets, u')');
    row.logical = logicalCell(term.logical);
    return row;
}

ConditionTerms termsOf(const ConditionRows &rows)
{
    ConditionTerms terms;
    terms.reserve(rows.size());
    for (const ConditionRow &row : rows) {
        terms.append(termOf(row));
    }
    return terms;
}

ConditionRows rowsOf(const ConditionTerms &terms, const FieldCatalog &catalog)
{
    ConditionRows rows;
    rows.reserve(terms.size());
    for (const ConditionTerm &term : terms) {
        rows.append(rowOf(term, catalog));
    }
    return rows;
}

QString logicalCell(LogicalWord word)
{
    switch (word) {
    case LogicalWord::And:
        return u" And "_s;
    case LogicalWord::Or:
        return u" Or"_s;
    case LogicalWord::None:
        break;
    }
    return QString();
}

std::optional<LogicalWord> logicalWordOf(const QString &text)
{
    const QString word = text.trimmed().toLower();
    if (word.isEmpty()) {
        return LogicalWord::None;
    }
    if (word == u"and"_s) {
        return LogicalWord::And;
    }
    if (word == u"or"_s) {
        return LogicalWord::Or;
    }
    return std::nullopt;
}

} // namespace condora
