#include "condition/conditionjson.h"

#include "condition/conditionoperator.h"
#include "condition/conditionterm.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

const QString Format = u"Condora condition"_s;
constexpr int Version = 1;

/// The document's rows, or an explanation of why there are none.
QJsonArray documentRows(const QString &json, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        *error = parseError.error != QJsonParseError::NoError ? u"The condition is not JSON: "_s + parseError.errorString()
                                                              : u"The condition is not a JSON object."_s;
        return {};
    }
    const QJsonObject object = document.object();
    if (object.value(u"format"_s).toString() != Format || !object.value(u"rows"_s).isArray()) {
        *error = u"The JSON text is not a Condora condition."_s;
        return {};
    }
    const int version = object.value(u"version"_s).toInt(0);
    if (version < 1 || version > Version) {
        *error = u"The condition's format version %1 cannot be read by this version."_s.arg(version);
        return {};
    }
    error->clear();
    return object.value(u"rows"_s).toArray();
}

/// Why a row of the document cannot stand in a condition (a bracket cell with another text, a
/// bracket that closes before one opened, an operator or logical word no list offers, a value
/// that is not text), or empty. Rows are counted from 1; `open` carries the brackets still
/// open from the rows before.
QString rowFault(const QJsonValue &value, int row, int *open)
{
    if (!value.isObject()) {
        return u"Row %1 of the condition is not a JSON object."_s.arg(row);
    }
    const QJsonObject object = value.toObject();
    const QString opening = object.value(u"open"_s).toString();
    const QString closing = object.value(u"close"_s).toString();
    if ((!opening.isEmpty() && opening != u"("_s) || (!closing.isEmpty() && closing != u")"_s)) {
        return u"Row %1 of the condition has a bracket other than \"(\" on the left or \")\" on the right."_s.arg(row);
    }
    *open += opening.isEmpty() ? 0 : 1;
    if (!closing.isEmpty() && --*open < 0) {
        return u"Row %1 of the condition closes a bracket that no row before it opened."_s.arg(row);
    }
    if (!operatorOfCell(object.value(u"operator"_s).toString())) {
        return u"Row %1 of the condition has an operator no list offers."_s.arg(row);
    }
    if (!logicalWordOf(object.value(u"logical"_s).toString())) {
        return u"Row %1 of the condition has a logical word other than And or Or."_s.arg(row);
    }
    const QJsonValue cell = object.value(u"value"_s);
    if (!cell.isUndefined() && !cell.isNull() && !cell.isString()) {
        return u"Row %1 of the condition has a value that is not text."_s.arg(row);
    }
    const QString text = cell.toString();
    bool broken = text.contains(QChar(u'\0'));
    for (qsizetype i = 0; i < text.size() && !broken; ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
        } else {
            broken = text.at(i).isSurrogate();
        }
    }
    if (broken) {
        return u"Row %1 of the condition has a value with a NUL character or half of a character."_s.arg(row);
    }
    return QString();
}

/// The catalog position of the usable column `name`, or 0: the column of exactly that name,
/// else the one column whose name differs only in letter case (databases report unquoted names
/// in their own case).
int columnPosition(const FieldCatalog &catalog, const QString &name)
{
    int caseless = 0;
    int caselessCount = 0;
    for (int i = 1; i < catalog.size(); ++i) {
        if (!catalog.at(i).usable) {
            continue;
        }
        if (catalog.at(i).colName == name) {
            return i;
        }
        if (catalog.at(i).colName.compare(name, Qt::CaseInsensitive) == 0) {
            caseless = i;
            ++caselessCount;
        }
    }
    return caselessCount == 1 ? caseless : 0;
}

/// The operator written as `word` among the operators of `typeClass`, or none.
std::optional<ConditionOperator> listedOperator(TypeClass typeClass, const QString &word, bool moreOperators)
{
    for (ConditionOperator op : operatorsFor(typeClass, moreOperators)) {
        if (operatorText(op).trimmed() == word.trimmed()) {
            return op;
        }
    }
    return std::nullopt;
}

QString documentText(const QJsonArray &rows)
{
    const QJsonObject document{{u"format"_s, Format}, {u"version"_s, Version}, {u"rows"_s, rows}};
    return QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Compact));
}

} // namespace

QString conditionRowsToJson(const ConditionRows &rows, const FieldCatalog &catalog)
{
    QJsonArray written;
    for (const ConditionRow &row : rows) {
        if (!row.isUsed()) {
            continue;
        }
        const QString logical = row.logical.trimmed();
        written.append(QJsonObject{{u"open"_s, row.open.trimmed()},
                                   {u"column"_s, catalogEntryFor(catalog, row.colIndex).colName},
                                   {u"operator"_s, row.op.trimmed()},
                                   {u"value"_s, row.value},
                                   {u"close"_s, row.close.trimmed()},
                                   {u"logical"_s, logical}});
    }
    return documentText(written);
}

QString conditionRowsToJson(const ConditionTerms &terms, const FieldCatalog &catalog)
{
    QJsonArray written;
    for (const ConditionTerm &term : terms) {
        if (!term.isUsed()) {
            continue;
        }
        const QString column = catalogEntryFor(catalog, QString::number(term.column)).colName;
        written.append(QJsonObject{{u"open"_s, QString(term.openBrackets, u'(')},
                                   {u"column"_s, column},
                                   {u"operator"_s, operatorText(*term.op).trimmed()},
                                   {u"value"_s, term.value},
                                   {u"close"_s, QString(term.closeBrackets, u')')},
                                   {u"logical"_s, logicalCell(term.logical).trimmed()}});
    }
    return documentText(written);
}

LoadedConditionRows conditionRowsFromJson(const QString &json, const FieldCatalog &catalog, bool moreOperators)
{
    LoadedConditionRows loaded;
    const QJsonArray rows = documentRows(json, &loaded.error);
    for (const QJsonValue &value : rows) {
        const QJsonObject object = value.toObject();
        const QString column = object.value(u"column"_s).toString();
        const int position = columnPosition(catalog, column);
        const std::optional<ConditionOperator> op =
            position > 0 ? listedOperator(catalog.at(position).typeClass, object.value(u"operator"_s).toString(),
                                          moreOperators)
                         : std::nullopt;
        if (!op) {
            (position > 0 ? loaded.unsuited : loaded.dropped).append(column);
            continue;
        }
        ConditionTerm term;
        term.openBrackets = object.value(u"open"_s).toString() == u"("_s ? 1 : 0;
        term.column = position;
        term.op = op;
        term.value = object.value(u"value"_s).toString();
        term.closeBrackets = object.value(u"close"_s).toString() == u")"_s ? 1 : 0;
        term.logical = logicalWordOf(object.value(u"logical"_s).toString()).value_or(LogicalWord::None);
        loaded.terms.append(term);
        loaded.rows.append(rowOf(term, catalog));
    }
    return loaded;
}

bool isConditionJson(const QString &json, QString *error)
{
    QString why;
    const QJsonArray rows = documentRows(json, &why);
    int open = 0;
    for (int r = 0; r < rows.size() && why.isEmpty(); ++r) {
        why = rowFault(rows.at(r), r + 1, &open);
    }
    if (why.isEmpty() && open > 0) {
        why = u"The condition leaves a bracket open."_s;
    }
    if (error) {
        *error = why;
    }
    return why.isEmpty();
}

} // namespace condora
