#include "condition/conditioncomposer.h"

#include "analysis/derivedfilter.h"
#include "analysis/queryrun.h"
#include "analysis/sqlscanner.h"
#include "analysis/statementtools.h"
#include "platform/ado/recordset.h"
#include "condition/conditionoperator.h"
#include "condition/valuelist.h"
#include "condition/valuereading.h"
#include "condition/valuerules.h"
#include "platform/textfunctions.h"

#include <QCoreApplication>


using namespace Qt::StringLiterals;

namespace condora {

namespace {

enum class DateMode { None, DateOnly, DateAndTime };

/// What one used row needs besides its cells: the catalog facts and the run's dialect.
struct RowContext
{
    const QueryRun *run = nullptr;
    DbKind kind = DbKind::Unknown;
    DbProduct product = DbProduct::Other;
    EscapeRules escapes;
    ValueRules rules;
    QString q; // tabAlias.colExpr
    TypeClass typeClass = TypeClass::None;
    DateMode dateMode = DateMode::None;
    bool lastRow = false;
    /// Written as "1 = 1" (brackets and logical word kept), to see what the condition gives
    /// without this row's restriction.
    bool alwaysTrue = false;
    /// Set when values become "?" placeholders: the values, in order.
    QVariantList *parameters = nullptr;
    /// For a single-precision float column, the type a number literal is cast to ("real" on
    /// PostgreSQL, "float" on MySQL/MariaDB), so that it compares as the stored value does (a
    /// decimal literal compares as double precision and misses it); empty elsewhere.
    QLatin1StringView singleCast;
    /// Set when a value is written without quotes that is not a number: such text could end
    /// the condition early.
    bool *unquotedText = nullptr;
};


bool contains(const QString &in, QLatin1StringView what)
{
    return in.contains(what, Qt::CaseSensitive);
}

/// An "include" value as a LIKE pattern: "%" and "_" stay wildcards, and where LIKE reads a
/// backslash as its escape character each backslash is doubled, so that it matches itself
/// instead of escaping the character after it (or the closing "%").
QString likePattern(const QString &value, const EscapeRules &escapes)
{
    return escapes.likeBackslashEscapes ? text::replace(value, u"\\"_s, u"\\\\"_s) : value;
}

/// The value written for Oracle and Access/Jet date conditions: the date in the fixed
/// pattern, or (while the user is still typing something that is no date) the text as typed
/// with apostrophes doubled, so that it cannot leave its literal. Both compare to the second:
/// a written fraction of a second is dropped (Access/Jet stores none and its #...# literal
/// takes none; Oracle's column side is to_char() to the second).
QString dateText(const QString &value, const RowContext &row)
{
    const auto date = readDate(value);
    if (!date) {
        // Access/Jet writes it between #...#, where an apostrophe does not end it.
        *row.unquotedText = *row.unquotedText || (row.kind == DbKind::Access && value.contains(u'#'));
        return escapedLiteral(value, row.escapes);
    }
    const bool withTime = row.dateMode == DateMode::DateAndTime;
    const int year = date->date().year();
    if (year >= 1 && year <= 9999) {
        // The ISO forms are these patterns for the years they cover, without a pattern to read
        // for every row on every keystroke.
        QString text = date->date().toString(Qt::ISODate);
        if (withTime) {
            text += u' ' + date->time().toString(Qt::ISODate);
        }
        return text;
    }
    return date->toString(withTime ? u"yyyy-MM-dd HH:mm:ss"_s : u"yyyy-MM-dd"_s);
}

/// The value written for SQLite date conditions: a readable date becomes ISO 8601 text
/// (yyyy-MM-dd, or yyyy-MM-dd HH:mm:ss with the written fraction and offset), the form SQLite's
/// date functions read, given to the same function as the column; anything else is used as
/// typed with apostrophes doubled.
QString sqliteDateValue(const QString &value, const RowContext &row)
{
    const auto written = readWrittenDate(value);
    const QString text = written ? isoDateText(*written) : escapedLiteral(value, row.escapes);
    return QLatin1StringView(row.rules.sqliteDateFunction) + u"('"_s + text + u"')"_s;
}

/// A number value as the parameter that compares like its literal.
QVariant numberParameter(const QString &value)
{
    const QString text = value.trimmed();
    bool ok = false;
    if (const qlonglong whole = text.toLongLong(&ok); ok) {
        return whole;
    }
    if (const double number = text.toDouble(&ok); ok && QString::number(number, 'g', 17).toDouble() == number) {
        // Exact when the text has no more digits than a double carries.
        int digits = 0;
        for (QChar c : text) {
            if (c == u'e' || c == u'E') {
                break;
            }
            digits += c.isDigit() ? 1 : 0;
        }
        if (digits <= 15) {
            return number;
        }
    }
    return text;
}

/// The placeholder for `value` of a row composed with parameters; records the value. Qt's
/// drivers bind a null QString as NULL: a value left empty is empty text, as in its literal.
QString placeholder(const RowContext &row, const QVariant &value)
{
    if (value.typeId() == QMetaType::QString && value.toString().isNull()) {
        row.parameters->append(QVariant(QString(u""_s)));
    } else {
        row.parameters->append(value);
    }
    return u"?"_s;
}

QString parameterFragment(const RowContext &row, const QString &op, const QString &value)
{
    if (row.typeClass == TypeClass::Number) {
        return placeholder(row, row.rules.quotedMoney ? QVariant(value) : numberParameter(value));
    }
    if (isTextClass(row.typeClass)) {
        return placeholder(row, contains(op, "include"_L1) ? u'%' + likePattern(value, row.escapes) + u'%' : value);
    }
    if (row.typeClass == TypeClass::Date) {
        const auto written = readWrittenDate(value);
        if (row.rules.sqliteDateFunctions) {
            const QString text = written ? isoDateText(*written) : value;
            return QLatin1StringView(row.rules.sqliteDateFunction) + u'(' + placeholder(row, text) + u')';
        }
        // Oracle compares the column as to_char() text: the value goes as text in the same
        // pattern (a bound date would be converted by the session's date format).
        if (written && row.kind == DbKind::Oracle) {
            return placeholder(row, dateText(value, row));
        }
        if (written && !written->time) {
            return placeholder(row, written->date);
        }
        if (written && row.kind == DbKind::Access) {
            return placeholder(row, dateText(value, row));
        }
    }
    return placeholder(row, value);
}

QString columnFragment(const RowContext &row, const QString &operatorCell)
{
    const QString op = text::lower(operatorCell);
    if (row.dateMode != DateMode::None && !contains(op, "null"_L1)) {
        if (row.kind == DbKind::Oracle) {
            return row.dateMode == DateMode::DateOnly ? "to_char("_L1 + row.q + ",'yyyy-mm-dd')"_L1
                                                      : "to_char("_L1 + row.q + ",'yyyy-mm-dd HH24:MI:SS')"_L1;
        }
        if (row.rules.sqliteDateFunctions) {
            return QLatin1StringView(row.rules.sqliteDateFunction) + u'(' + row.q + u')';
        }
        return row.q;
    }
    if (contains(op, "not null"_L1)) {
        return "not "_L1 + row.q + " is null"_L1;
    }
    if (contains(op, "null"_L1)) {
        return row.q + " is null"_L1;
    }
    return row.q;
}

QString operatorFragment(const RowContext &row, const QString &op)
{
    switch (operatorOfCell(op).value_or(ConditionOperator::Equal)) {
    case ConditionOperator::Between:
        return u"between"_s;
    case ConditionOperator::In:
        return u"in"_s;
    case ConditionOperator::NotIn:
        return u"not in"_s;
    case ConditionOperator::StartsWith:
    case ConditionOperator::EndsWith:
        return u"like"_s;
    default:
        break;
    }
    if (contains(op, "include"_L1)) {
        return text::replace(op, u"include"_s, u"like"_s);
    }
    if (contains(op, "true"_L1)) {
        if (row.kind == DbKind::Access) {
            return u"= -1"_s;
        }
        if (row.kind == DbKind::Oracle || row.kind == DbKind::SqlServer) {
            return u"= 1"_s;
        }
        return u"= true"_s;
    }
    if (contains(op, "false"_L1)) {
        if (row.kind == DbKind::Oracle || row.kind == DbKind::SqlServer || row.kind == DbKind::Access) {
            return u"= 0"_s;
        }
        return u"= false"_s;
    }
    if (contains(op, "null"_L1)) {
        return QString();
    }
    return op;
}

QString valueFragment(const RowContext &row, const QString &op, const QString &value);

/// The value of a "starts with" or "ends with" row: the text as a LIKE pattern that matches it
/// literally, with "%" on the open side, and the escape clause.
QString affixFragment(const RowContext &row, ConditionOperator op, const QString &value)
{
    const QString literal = literalLikePattern(value, *row.run);
    const QString pattern = op == ConditionOperator::StartsWith ? literal + u'%' : u'%' + literal;
    const QString escape = likeEscapeClause(*row.run);
    if (row.parameters) {
        return placeholder(row, pattern) + escape;
    }
    return u'\'' + escapedLiteral(pattern, row.escapes) + u'\'' + escape;
}

/// The values of a "between", "in" or "not in" row, each written as an "=" row writes it. A
/// cell that is no list yet (still being typed; the validator stops it before it runs) counts
/// as one value.
QString listFragment(const RowContext &row, ConditionOperator op, const QString &value)
{
    const QStringList items = splitValueList(value).value_or(QStringList{value});
    QStringList written;
    written.reserve(items.size());
    for (const QString &item : items) {
        written.append(valueFragment(row, u"="_s, item));
    }
    if (op == ConditionOperator::Between) {
        return written.join(u" and "_s);
    }
    return u'(' + written.join(u", "_s) + u')';
}

QString valueFragment(const RowContext &row, const QString &op, const QString &value)
{
    const QString opLower = text::lower(op);
    if (contains(opLower, "true"_L1) || contains(opLower, "false"_L1) || contains(opLower, "null"_L1)) {
        return QString();
    }
    if (const auto known = operatorOfCell(op)) {
        if (takesValueList(*known)) {
            return listFragment(row, *known, value);
        }
        if (*known == ConditionOperator::StartsWith || *known == ConditionOperator::EndsWith) {
            return affixFragment(row, *known, value);
        }
    }
    if (row.parameters) {
        return parameterFragment(row, op, value);
    }
    if (row.typeClass == TypeClass::Number) {
        if (row.rules.quotedMoney) {
            return u'\'' + escapedLiteral(value, row.escapes) + u'\'';
        }
        *row.unquotedText = *row.unquotedText || !isReadableNumber(value);
        return row.singleCast.isEmpty() ? escapedLiteral(value, row.escapes)
                                        : "cast("_L1 + text::trim(value) + " as "_L1 + row.singleCast + u')';
    }
    if (isTextClass(row.typeClass)) {
        if (contains(op, "include"_L1)) {
            return "'%"_L1 + escapedLiteral(likePattern(value, row.escapes), row.escapes) + "%'"_L1;
        }
        return u'\'' + escapedLiteral(value, row.escapes) + u'\'';
    }
    if (row.typeClass == TypeClass::Date) {
        if (row.kind == DbKind::Oracle) {
            return u'\'' + dateText(value, row) + u'\'';
        }
        if (row.kind == DbKind::Access) {
            return u'#' + dateText(value, row) + u'#';
        }
        if (row.rules.sqliteDateFunctions) {
            return sqliteDateValue(value, row);
        }
    }
    return u'\'' + escapedLiteral(value, row.escapes) + u'\'';
}

/// The fragment of cell `col` of a used row; trims the Operator and Logical cells of `cells`.
QString cellFragment(int col, ConditionRow &cells, const RowContext &row)
{
    if (row.alwaysTrue && (col == ConditionCol::Column || col == ConditionCol::Operator || col == ConditionCol::Value)) {
        return col == ConditionCol::Column ? u"1 = 1"_s : QString();
    }
    switch (col) {
    case ConditionCol::OpenBracket:
        return cells.open;
    case ConditionCol::CloseBracket:
        return cells.close;
    case ConditionCol::Column:
        return columnFragment(row, cells.op);
    case ConditionCol::Operator:
        cells.op = text::trim(cells.op);
        return operatorFragment(row, cells.op);
    case ConditionCol::Value:
        return valueFragment(row, cells.op, cells.value);
    case ConditionCol::Logical:
        cells.logical = text::trim(cells.logical);
        return row.lastRow ? QString() : cells.logical;
    default:
        return QString();
    }
}

bool endsWithWord(const QString &condition, QLatin1StringView word)
{
    return condition.size() > word.size() && condition.endsWith(word, Qt::CaseInsensitive);
}

} // namespace

namespace {

/// True when a used row's bracket, Operator and Logical cells hold what their lists offer.
bool listedCells(const ConditionRow &cells)
{
    const QStringView open = QStringView(cells.open).trimmed();
    const QStringView close = QStringView(cells.close).trimmed();
    const QStringView logical = QStringView(cells.logical).trimmed();
    return (open.isEmpty() || open == u"(") && (close.isEmpty() || close == u")") && operatorOfCell(cells.op)
           && (logical.isEmpty() || logical.compare(u"and", Qt::CaseInsensitive) == 0
               || logical.compare(u"or", Qt::CaseInsensitive) == 0);
}

/// What a WHERE condition would change in the base statement, for the last statement asked
/// about (the dialog composes the same run's statement on every keystroke).
QString shapeOf(const QString &statement)
{
    thread_local QString lastStatement;
    thread_local QString lastShape;
    thread_local bool known = false;
    if (!known || statement != lastStatement) {
        lastShape = shapeFilteredAfterWhere(statement);
        lastStatement = statement;
        known = true;
    }
    return lastShape;
}

ComposedCondition compose(const ConditionRows &rows, const QueryRun &run, const QList<int> &alwaysTrue,
                          bool withParameters)
{
    ComposedCondition composed;
    composed.rows = rows;
    QString &condition = composed.condition;
    const int count = int(composed.rows.size());
    condition.reserve(count * 48);

    // A condition on a column whose values exist only after WHERE, or on a statement whose
    // values WHERE would change, filters the statement's result instead.
    bool derived = !shapeOf(run.baseSql).isEmpty();
    bool listed = true;
    for (int r = 0; r < count; ++r) {
        const ConditionRow &cells = composed.rows.at(r);
        if (cells.isUsed()) {
            derived = derived || isComputedAfterWhere(catalogEntryFor(run.fieldCatalog, cells.colIndex));
            listed = listed && listedCells(cells);
        }
    }
    bool unquotedText = false;

    for (int r = 0; r < count; ++r) {
        ConditionRow &cells = composed.rows[r];
        if (!cells.isUsed()) {
            continue;
        }
        const ColumnInfo &entry = catalogEntryFor(run.fieldCatalog, cells.colIndex);
        RowContext row;
        row.run = &run;
        row.kind = run.dbKind;
        row.product = run.product;
        row.escapes = run.escapes;
        row.rules = valueRulesFor(entry, run);
        row.q = derived ? u"q."_s + quotedName(entry.colName, run) : entry.conditionOperand();
        row.typeClass = entry.typeClass;
        if (row.typeClass == TypeClass::Date) {
            row.dateMode = cells.value.contains(u':') ? DateMode::DateAndTime : DateMode::DateOnly;
        }
        row.lastRow = r == count - 1;
        row.alwaysTrue = alwaysTrue.contains(r);
        row.parameters = withParameters ? &composed.parameters : nullptr;
        if (entry.typeCode == ado::adSingle) {
            row.singleCast = run.product == DbProduct::PostgreSql ? "real"_L1
                             : run.product == DbProduct::MySql    ? "float"_L1
                                                                  : QLatin1StringView();
        }
        row.unquotedText = &unquotedText;

        // Every cell but the hidden colIndex.
        for (int c = 0; c < ConditionCol::ColIndex; ++c) {
            const QString fragment = cellFragment(c, cells, row);
            if (!fragment.isEmpty()) {
                condition += u' ' + fragment;
            }
        }
    }

    if (!text::trim(condition).isEmpty()) {
        condition = text::trimRight(condition);
        if (endsWithWord(condition, " or"_L1)) {
            condition.chop(3);
        }
        if (endsWithWord(condition, " and"_L1)) {
            condition.chop(4);
        }
    }

    // The user's part never reaches the base statement's level: it goes in only when it is
    // complete on its own.
    if (!listed) {
        composed.refusal = QCoreApplication::translate(
            "condora::ConditionComposer", "A bracket, operator or logical word of the condition is not one the lists offer.");
    } else if (unquotedText) {
        composed.refusal = QCoreApplication::translate(
            "condora::ConditionComposer", "A value of the condition that must be a number is not one.");
    } else if (!closesAtTopLevel(condition)) {
        composed.refusal = QCoreApplication::translate(
            "condora::ConditionComposer", "The brackets of the condition do not pair.");
    } else if (derived && !text::trim(condition).isEmpty()) {
        QString why;
        composed.statement = filterAsDerivedTable(run.baseSql, run.fieldCatalog, condition, &why);
        if (!why.isEmpty()) {
            composed.refusal = QCoreApplication::translate(
            "condora::ConditionComposer", "The condition cannot filter this statement: %1.").arg(why);
        }
    } else {
        composed.statement = spliceCondition(run.baseSql, condition);
    }
    return composed;
}

} // namespace

ComposedCondition composeCondition(const ConditionRows &rows, const QueryRun &run)
{
    return compose(rows, run, {}, false);
}

ComposedCondition composeCondition(const ConditionRows &rows, const QueryRun &run, const QList<int> &alwaysTrue)
{
    return compose(rows, run, alwaysTrue, false);
}

ComposedCondition composeParameterized(const ConditionRows &rows, const QueryRun &run)
{
    return compose(rows, run, {}, true);
}

ComposedCondition composeCondition(const ConditionTerms &terms, const QueryRun &run)
{
    return compose(rowsOf(terms, run.fieldCatalog), run, {}, false);
}

ComposedCondition composeCondition(const ConditionTerms &terms, const QueryRun &run, const QList<int> &alwaysTrue)
{
    return compose(rowsOf(terms, run.fieldCatalog), run, alwaysTrue, false);
}

ComposedCondition composeParameterized(const ConditionTerms &terms, const QueryRun &run)
{
    return compose(rowsOf(terms, run.fieldCatalog), run, {}, true);
}

} // namespace condora
