#include "analysis/statementtools.h"

#include "analysis/errorreport.h"
#include "analysis/sqlscanner.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/runtimeerror.h"
#include "platform/textfunctions.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

// Grows the list to hold position n (1-based lists keep an empty position 0).
void growTo(QStringList &list, int n)
{
    while (list.size() <= n) {
        list.append(QString());
    }
}

} // namespace

QString trimSpaces(const QString &text)
{
    QString result;
    try {
        if (text.isEmpty()) {
            return text;
        }
        // Only the white space between tokens is touched: literals, quoted names and comments
        // keep their spaces, and tabs and line breaks stay where they are.
        const SqlScanner scanner(text);
        result.reserve(text.size());
        for (const SqlToken &token : scanner.tokens()) {
            const QStringView piece = QStringView(text).mid(token.start, token.length);
            if (token.kind != SqlToken::Space) {
                result += piece;
                continue;
            }
            for (qsizetype i = 0; i < piece.size(); ++i) {
                if (piece.at(i) != u' ' || i == 0 || piece.at(i - 1) != u' ') {
                    result += piece.at(i);
                }
            }
        }
    } catch (...) {
        showCurrentError(QString());
        return QString();
    }
    return result;
}

int splitStr(QStringList &list, const QString &text, const QString &separator)
{
    list.clear();
    if (text.isEmpty()) {
        list = QStringList{QString(), QString()};
        return 1;
    }

    // "rest" is the text from restStart on; keeping a position instead of copying the rest
    // keeps long lists linear.
    int restStart = 1;
    const int length = int(text.size());
    int n = 0;
    list.append(QString());
    for (;;) {
        ++n;
        if (restStart > length) {
            growTo(list, n);
            list[n] = QString();
            return n;
        }
        const int found = text::find(text, separator, restStart);
        growTo(list, n);
        if (found == 0) {
            list[n] = text::mid(text, restStart);
            return n;
        }
        if (found == restStart) {
            list[n] = QString();
        } else {
            list[n] = text::mid(text, restStart, found - restStart);
        }
        // One character is skipped, whatever the separator's length.
        restStart = found + 1;
    }
}

namespace {

// The clauses that follow WHERE in a SELECT statement: the condition goes before the first.
const QStringList &clausesAfterWhere()
{
    static const QStringList keywords{u"group by"_s, u"having"_s, u"window"_s, u"order by"_s,
                                      u"limit"_s,    u"offset"_s, u"fetch"_s,  u"for"_s};
    return keywords;
}

} // namespace

DerivedRows derivedRows(const QString &statement)
{
    DerivedRows rows;
    rows.with = withClause(statement);
    rows.query = statement.mid(rows.with.size());
    const SqlScanner scanner(rows.query);
    const SqlScanner::Match from = scanner.findKeyword({u"from"_s});
    const SqlScanner::Match orderBy = scanner.findKeyword({u"order by"_s}, from.found() ? from.end : 0);
    const bool rowLimit = scanner.findKeyword({u"limit"_s, u"offset"_s, u"fetch"_s, u"top"_s}).found();
    if (orderBy.found() && !rowLimit) {
        rows.query = rows.query.left(scanner.codeEndBefore(orderBy.start));
    }
    return rows;
}

QString countSql(const QString &statement)
{
    const DerivedRows rows = derivedRows(statement);
    return rows.with + u"select count(*) from ("_s + rows.query + u"\n) condora_rows"_s;
}

QString spliceCondition(const QString &statement, const QString &condition)
{
    const SqlScanner scanner(statement);
    const SqlScanner::Match from = scanner.findKeyword({u"from"_s});
    const SqlScanner::Match clause = scanner.findKeyword(clausesAfterWhere(), from.found() ? from.end : 0);

    QString head = statement;
    QString tail;
    if (clause.found()) {
        // The head ends with its last code character, so that a comment before the clause
        // moves into the tail. When only spaces lie between, the tail starts with the one
        // space before the clause word.
        const qsizetype codeEnd = scanner.codeEndBefore(clause.start);
        const QStringView gap = QStringView(statement).mid(codeEnd, clause.start - codeEnd);
        const bool onlySpaces = !gap.isEmpty() && gap.count(u' ') == gap.size();
        tail = statement.mid(onlySpaces ? clause.start - 1 : codeEnd);
        head = text::trimLeft(statement.left(codeEnd));
    } else {
        // A statement that ends in a comment gets its condition before the comment.
        const qsizetype codeEnd = scanner.codeEndBefore(statement.size());
        if (scanner.hasComment(codeEnd, statement.size())) {
            tail = statement.mid(codeEnd);
            head = statement.left(codeEnd);
        }
    }
    if (!tail.isEmpty() && tail.front() != u' ' && tail.front() != u'\t' && tail.front() != u'\n'
        && tail.front() != u'\r') {
        tail.prepend(u' ');
    }
    if (condition.isEmpty()) {
        return head + tail;
    }

    const SqlScanner headScanner(head);
    const SqlScanner::Match headFrom = headScanner.findKeyword({u"from"_s});
    const SqlScanner::Match where = headScanner.findKeyword({u"where"_s}, headFrom.found() ? headFrom.end : 0);
    if (!where.found()) {
        return head + u" where "_s + condition + tail;
    }
    // AND binds before OR: when either side has an OR of its own, both are bracketed so that
    // the result keeps the base statement's rows and narrows them by the condition.
    const qsizetype baseStart = headScanner.codeStartFrom(where.end);
    const qsizetype baseEnd = headScanner.codeEndBefore(head.size(), where.end);
    const bool baseHasOr = headScanner.findKeyword({u"or"_s}, where.end).found();
    if (baseStart < baseEnd && (baseHasOr || hasTopLevelKeyword(condition, u"or"_s))) {
        head = head.left(baseStart) + u'(' + head.mid(baseStart, baseEnd - baseStart) + u')' + head.mid(baseEnd);
        return head + u" and ("_s + condition + u')' + tail;
    }
    return head + u" and "_s + condition + tail;
}

QString leadingKeyword(const QString &statement)
{
    const SqlScanner scanner(statement);
    for (const SqlToken &token : scanner.tokens()) {
        if (!token.isCode()) {
            continue;
        }
        return token.kind == SqlToken::Word ? statement.mid(token.start, token.length).toUpper() : QString();
    }
    return QString();
}

QString combiningKeyword(const QString &statement)
{
    const QStringList keywords{u"union"_s, u"intersect"_s, u"except"_s, u"minus"_s};
    const SqlScanner::Match match = SqlScanner(statement).findKeyword(keywords);
    return match.found() ? keywords.at(match.keyword).toUpper() : QString();
}

QString withClause(const QString &statement)
{
    if (leadingKeyword(statement) != u"WITH"_s) {
        return QString();
    }
    const SqlScanner::Match select = SqlScanner(statement).findKeyword({u"select"_s});
    return select.found() ? statement.left(select.start) : QString();
}

QString probeSql(const QString &statement)
{
    // An analysis probes the same statement several times (testSql, the names, the types);
    // the last one is remembered, so that a long statement is scanned once.
    thread_local QString lastStatement;
    thread_local QString lastProbe;
    if (lastProbe.isEmpty() || statement != lastStatement) {
        // A WHERE spliced into a statement that combines queries would hold back the rows of
        // its last query only: such a statement is probed as a derived table.
        const QString with = withClause(statement);
        lastProbe = combiningKeyword(statement).isEmpty()
                        ? spliceCondition(statement, u"1=0 "_s)
                        : with + u"select * from ("_s + statement.mid(with.size()) + u"\n) q where 1=0 "_s;
        lastStatement = statement;
    }
    return lastProbe;
}

QString testSql(ado::Connection &connection, const QString &statement)
{
    if (text::trim(statement).isEmpty()) {
        return QString();
    }
    try {
        const QString probe = probeSql(statement);
        ado::Recordset recordset;
        recordset.OpenColumns(probe, connection);
        recordset.Close();
    } catch (const RuntimeError &error) {
        if (error.number() == ErrorNumber::Cancelled) {
            throw; // no answer about the statement: the user stopped it
        }
        return error.description();
    } catch (const std::exception &error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return QCoreApplication::translate("condora::ErrorReport", "Internal error");
    }
    return QString();
}

} // namespace condora
