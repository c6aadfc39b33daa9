#include "analysis/derivedfilter.h"

#include "analysis/sqlscanner.h"
#include "analysis/statementtools.h"

#include <QCoreApplication>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

/// The functions that aggregate the rows of a group (standard SQL, SQLite, PostgreSQL, MySQL,
/// SQL Server, Oracle).
const QStringList &aggregateFunctions()
{
    static const QStringList names{
        u"count"_s,       u"sum"_s,          u"avg"_s,        u"min"_s,         u"max"_s,          u"total"_s,
        u"group_concat"_s, u"string_agg"_s,  u"array_agg"_s,  u"json_agg"_s,    u"jsonb_agg"_s,    u"json_group_array"_s,
        u"json_group_object"_s, u"json_object_agg"_s, u"jsonb_object_agg"_s, u"xmlagg"_s, u"listagg"_s,
        u"bool_and"_s,    u"bool_or"_s,      u"every"_s,      u"bit_and"_s,     u"bit_or"_s,       u"bit_xor"_s,
        u"stddev"_s,      u"stddev_pop"_s,   u"stddev_samp"_s, u"variance"_s,   u"var_pop"_s,      u"var_samp"_s,
        u"stdev"_s,       u"stdevp"_s,       u"var"_s,        u"varp"_s,        u"median"_s,       u"mode"_s,
        u"percentile_cont"_s, u"percentile_disc"_s, u"corr"_s, u"covar_pop"_s,  u"covar_samp"_s,  u"count_big"_s,
        u"checksum_agg"_s, u"regr_slope"_s,  u"regr_intercept"_s, u"regr_count"_s, u"regr_r2"_s,
    };
    return names;
}

/// The select list of the statement's final query: from its top-level SELECT to its FROM (or
/// the end), as positions into `statement`.
std::pair<qsizetype, qsizetype> selectList(const SqlScanner &scanner)
{
    const SqlScanner::Match select = scanner.findKeyword({u"select"_s});
    if (!select.found()) {
        return {-1, -1};
    }
    const SqlScanner::Match from = scanner.findKeyword({u"from"_s}, select.end);
    return {select.end, from.found() ? from.start : scanner.text().size()};
}

/// True when the tokens of `scanner` in [from, to) hold a word of `words` outside any
/// parenthesised sub-query (a bracket that opens with SELECT or WITH); `call` asks for the word
/// to be followed by "(".
bool holdsWord(const SqlScanner &scanner, qsizetype from, qsizetype to, const QStringList &words, bool call)
{
    const QString &text = scanner.text();
    const QList<SqlToken> &tokens = scanner.tokens();
    int subQueryDepth = -1; // the depth of the sub-query being skipped, or -1
    for (qsizetype t = 0; t < tokens.size(); ++t) {
        const SqlToken &token = tokens.at(t);
        if (token.start < from || token.start >= to) {
            continue;
        }
        if (subQueryDepth >= 0) {
            if (token.kind == SqlToken::Symbol && text.at(token.start) == u')' && token.depth == subQueryDepth) {
                subQueryDepth = -1;
            }
            continue;
        }
        if (token.kind == SqlToken::Symbol && text.at(token.start) == u'(') {
            qsizetype u = t + 1;
            while (u < tokens.size() && !tokens.at(u).isCode()) {
                ++u;
            }
            if (u < tokens.size() && tokens.at(u).kind == SqlToken::Word) {
                const QString word = text.mid(tokens.at(u).start, tokens.at(u).length).toLower();
                if (word == u"select"_s || word == u"with"_s) {
                    subQueryDepth = token.depth;
                }
            }
            continue;
        }
        if (token.kind != SqlToken::Word || !words.contains(text.mid(token.start, token.length).toLower())) {
            continue;
        }
        if (!call) {
            return true;
        }
        qsizetype u = t + 1;
        while (u < tokens.size() && !tokens.at(u).isCode()) {
            ++u;
        }
        if (u < tokens.size() && tokens.at(u).kind == SqlToken::Symbol && text.at(tokens.at(u).start) == u'(') {
            return true;
        }
    }
    return false;
}

QString normalised(const QString &text)
{
    return singleSpaced(text).trimmed().toLower();
}

/// The 1-based position of the result column that the ORDER BY expression `item` names, or 0.
int resultPosition(const QString &item, const FieldCatalog &catalog)
{
    const QString wanted = normalised(item);
    bool isNumber = false;
    const int number = wanted.toInt(&isNumber);
    if (isNumber) {
        return number >= 1 && number < catalog.size() ? number : 0;
    }
    const QString bare = unquotedName(item.trimmed()).toLower();
    int byUnqualified = 0;
    int unqualifiedMatches = 0;
    for (int i = 1; i < catalog.size(); ++i) {
        const ColumnInfo &column = catalog.at(i);
        if (column.colName.toLower() == bare || (!column.expression.isEmpty() && normalised(column.expression) == wanted)
            || (!column.tabAlias.isEmpty() && normalised(column.tabAlias + u'.' + column.colExpr) == wanted)) {
            return i;
        }
        if (column.expression.isEmpty() && normalised(column.colExpr) == wanted) {
            byUnqualified = i;
            ++unqualifiedMatches;
        }
    }
    return unqualifiedMatches == 1 ? byUnqualified : 0;
}

} // namespace

QString shapeFilteredAfterWhere(const QString &statement)
{
    if (const QString combining = combiningKeyword(statement); !combining.isEmpty()) {
        return combining;
    }
    const SqlScanner scanner(statement);
    const auto [start, end] = selectList(scanner);
    if (start < 0) {
        return QString();
    }
    if (const SqlScanner::Match distinctOn = scanner.findKeyword({u"distinct on"_s}, start, end);
        distinctOn.found() && distinctOn.start == scanner.codeStartFrom(start)) {
        return u"DISTINCT ON"_s;
    }
    if (holdsWord(scanner, start, end, {u"over"_s}, false)) {
        return QCoreApplication::translate("condora::DerivedFilter", "a window function");
    }
    return QString();
}

bool isComputedAfterWhere(const ColumnInfo &column)
{
    if (column.expression.isEmpty()) {
        return false;
    }
    const SqlScanner scanner(column.expression);
    const qsizetype size = column.expression.size();
    return holdsWord(scanner, 0, size, {u"over"_s}, false) || holdsWord(scanner, 0, size, aggregateFunctions(), true);
}

QString filterAsDerivedTable(const QString &statement, const FieldCatalog &catalog, const QString &condition,
                             QString *why)
{
    why->clear();
    const QString with = withClause(statement);
    const QString query = statement.mid(with.size());
    const SqlScanner scanner(query);
    const SqlScanner::Match from = scanner.findKeyword({u"from"_s});
    const qsizetype after = from.found() ? from.end : 0;
    const SqlScanner::Match orderBy = scanner.findKeyword({u"order by"_s}, after);
    const SqlScanner::Match cap = scanner.findKeyword({u"limit"_s, u"offset"_s, u"fetch"_s}, after);
    const auto [listStart, listEnd] = selectList(scanner);
    const SqlScanner::Match distinctOnMatch =
        listStart < 0 ? SqlScanner::Match() : scanner.findKeyword({u"distinct on"_s}, listStart, listEnd);
    const bool distinctOn = distinctOnMatch.found() && distinctOnMatch.start == scanner.codeStartFrom(listStart);

    qsizetype innerEnd = query.size();
    QString outerOrder;
    QString outerCap;
    if (cap.found()) {
        innerEnd = cap.start;
        outerCap = query.mid(cap.start).trimmed();
    }
    if (orderBy.found() && (!cap.found() || orderBy.start < cap.start)) {
        const qsizetype orderEnd = cap.found() ? cap.start : query.size();
        const QString items = query.mid(orderBy.end, orderEnd - orderBy.end);
        QStringList list;
        const int count = splitSqlList(list, items);
        static const QRegularExpression modifiers(
            u"^(.*?)(\\s+collate\\s+(\"[^\"]*\"|\\S+))?(\\s+(asc|desc))?(\\s+nulls\\s+(first|last))?\\s*$"_s,
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
        QStringList written;
        QString unnamed;
        for (int i = 1; i <= count; ++i) {
            const QString item = singleSpaced(list.at(i)).trimmed();
            const QRegularExpressionMatch parts = modifiers.match(item);
            const int position = resultPosition(parts.captured(1), catalog);
            if (position == 0) {
                unnamed = item;
                break;
            }
            written.append(QString::number(position) + item.mid(parts.capturedEnd(1)));
        }
        if (unnamed.isEmpty()) {
            // DISTINCT ON keeps the first row of each group in this order: it stays inside too.
            if (!distinctOn) {
                innerEnd = orderBy.start;
            }
            outerOrder = u" order by "_s + written.join(u", "_s);
        } else if (cap.found()) {
            *why = QCoreApplication::translate("condora::DerivedFilter",
                                               "its ORDER BY item %1 is not a column of its result, and the rows it "
                                               "caps must be the rows the condition keeps")
                       .arg(unnamed);
            return QString();
        }
    }
    const QString inner = query.left(scanner.codeEndBefore(innerEnd));
    return with + u"select * from ("_s + inner + u"\n) q where "_s + condition + outerOrder
           + (outerCap.isEmpty() ? QString() : u' ' + outerCap);
}

} // namespace condora
