#include "analysis/tableresolution.h"

#include "analysis/catalogaccess.h"
#include "analysis/errorreport.h"
#include "analysis/statementtools.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/textfunctions.h"

#include <array>

using namespace Qt::StringLiterals;

namespace condora {

using detail::at;

bool parseSelectList(const QString &selectList, FieldCatalog &catalog)
{
    try {
        QStringList items;
        const int n = splitStr(items, selectList, u","_s);
        for (int i = 1; i <= n; ++i) {
            // An item beyond the last result column addresses a catalog entry that does not exist.
            ColumnInfo &column = at(catalog, i);
            QString item = text::trim(at(items, i));

            const int dot = text::find(item, u"."_s);
            if (dot > 0) {
                column.tabAlias = text::left(item, dot - 1);
                item = text::mid(item, dot + 1);
            }

            if (item.size() == column.colName.size()) {
                column.colExpr = item;
            } else if (text::find(item, u" as "_s) > 0) {
                column.colExpr = text::left(item, text::find(item, u" "_s) - 1);
            } else if (text::find(item, u" "_s) > 0) {
                // The trailing alias and the space before it are cut off by the name's length.
                const int l = int(item.size());
                const int k = int(column.colName.size());
                column.colExpr = text::left(item, l - k - 1);
            } else {
                column.colExpr = item;
            }

            column.valueList = QStringList{QString()};
        }
    } catch (...) {
        showCurrentError(unrecognisedSqlContext());
        return false;
    }
    return true;
}

namespace {

struct JoinKeyword
{
    QString text;
    int length;
};

const std::array<JoinKeyword, 7> &joinKeywords()
{
    static const std::array<JoinKeyword, 7> keywords = {{
        {u" inner join "_s, 12},
        {u" left join "_s, 11},
        {u" left outer join "_s, 17},
        {u" right join "_s, 12},
        {u" right outer join "_s, 18},
        {u" full join "_s, 11},
        {u" full outer join "_s, 17},
    }};
    return keywords;
}

// Finds the earliest join keyword in the rest of one from-list item. The rest is always a tail
// of the item, so a keyword missing from it stays missing from every later rest, and one found
// further on keeps its place: each keyword is searched again only once the cut has passed it,
// which keeps a long chain of joins linear.
class JoinFinder
{
public:
    explicit JoinFinder(const QString &item)
        : m_item(item)
    {
        m_next.fill(Unknown);
    }

    // In the rest (the item after its first `cut` characters): the position of the earliest
    // keyword (0 when none) and its length.
    void find(int cut, int &position, int &length)
    {
        position = 0;
        length = 0;
        for (std::size_t i = 0; i < joinKeywords().size(); ++i) {
            int &next = m_next[i];
            if (next == Unknown || (next > 0 && next <= cut)) {
                next = text::find(m_item, joinKeywords()[i].text, cut + 1);
            }
            const int at = next > 0 ? next - cut : 0;
            if (at > 0 && (position == 0 || at < position)) {
                position = at;
                length = joinKeywords()[i].length;
            }
        }
    }

private:
    static constexpr int Unknown = -1;
    const QString &m_item;
    std::array<int, 7> m_next;
};

// Quoted table names ([Order Details], "Order Details") keep their spaces: the closing
// character ends the name.
QChar closingQuote(const QString &item)
{
    const QString first = text::left(item, 1);
    if (first == u"["_s) {
        return u']';
    }
    if (first == u"\""_s) {
        return u'"';
    }
    return QChar();
}

} // namespace

QString flattenJoins(const QString &fromClause)
{
    try {
        // Every " cross join " becomes a comma. A comma cannot start a new " cross join ", so the
        // text is built in one pass instead of being searched again from its start.
        QString from;
        int rest = 1;
        for (int c = text::find(fromClause, u" cross join "_s); c > 0;
             c = text::find(fromClause, u" cross join "_s, rest)) {
            from += text::mid(fromClause, rest, c - rest) + u","_s;
            rest = c + 12;
        }
        from += text::mid(fromClause, rest);

        QStringList items;
        const int n = splitStr(items, from, u","_s);
        QString result;
        for (int i = 1; i <= n; ++i) {
            // s, the rest of the item still to read, is the item after its first `cut` characters.
            const QString &item = items.at(i);
            JoinFinder joins(item);
            int cut = 0;
            QString part;
            bool joinFound = true;
            for (int j = 1; joinFound; ++j) {
                int c = 0; // position in s
                int k = 0;
                joins.find(cut, c, k);
                joinFound = c > 0;
                if (j == 1) {
                    if (!joinFound) {
                        part = item;
                    } else {
                        part = text::trim(text::left(item, c - 1));
                        cut += c + k - 1;
                    }
                } else {
                    // The joined table ends at its " on "; without one the length is negative.
                    const int on = text::find(item, u" on "_s, cut + 1);
                    const int m = on > 0 ? on - cut : 0;
                    const QString table = text::mid(item, cut + 1, m - 1);
                    if (part.isEmpty()) {
                        part = table;
                    } else {
                        part += u","_s + table;
                    }
                    if (joinFound) {
                        cut += c + k - 1;
                    }
                }
            }
            if (result.isEmpty()) {
                result = part;
            } else if (!part.isEmpty()) {
                result += u","_s + part;
            }
        }
        return result;
    } catch (...) {
        showCurrentError(QString());
        return QString();
    }
}

bool parseFromList(const QString &fromClause, TableList &tables)
{
    try {
        const QString from = flattenJoins(fromClause);
        if (from.isEmpty()) {
            return false;
        }

        QStringList items;
        const int n = splitStr(items, from, u","_s);
        tables = TableList(n + 1);
        for (int i = 1; i <= n; ++i) {
            TableRef &table = tables[i];
            const QString item = text::trim(items.at(i));
            const int as = text::find(item, u" as "_s);
            const QChar quote = closingQuote(item);
            if (as > 0) {
                table.tabName = text::left(item, as - 1);
                table.tabAlias = text::mid(item, as + 4);
            } else if (!quote.isNull()) {
                const int d = text::findExact(item, QString(quote), 2);
                table.tabName = text::trim(text::left(item, d));
                if (d == item.size()) {
                    table.tabAlias = table.tabName;
                } else {
                    table.tabAlias = text::trim(text::mid(item, d + 1));
                }
            } else if (const int space = text::find(item, u" "_s); space > 0) {
                table.tabName = text::left(item, space - 1);
                table.tabAlias = text::mid(item, space + 1);
            } else {
                table.tabName = item;
                table.tabAlias = item;
            }
        }
    } catch (...) {
        showCurrentError(unrecognisedSqlContext());
        return false;
    }
    return true;
}

bool bindColumns(ado::Connection &connection, FieldCatalog &catalog, const TableList &tables)
{
    try {
        const int columnCount = int(catalog.size()) - 1;
        const int tableCount = int(tables.size()) - 1;
        int bound = 0;

        // By the written qualifier: the first table whose alias matches.
        for (int j = 1; j <= columnCount; ++j) {
            ColumnInfo &column = catalog[j];
            const QString qualifier = text::lower(column.tabAlias);
            for (int b = 1; b <= tableCount; ++b) {
                if (qualifier == text::lower(tables.at(b).tabAlias)) {
                    column.tabName = tables.at(b).tabName;
                    ++bound;
                    break;
                }
            }
        }
        if (bound >= columnCount) {
            return true;
        }

        // By field name, asking the database table by table, while unqualified columns remain.
        for (int t = 1; t <= tableCount; ++t) {
            const TableRef &table = tables.at(t);
            ado::Recordset rs;
            rs.Open(u"select * from "_s + table.tabName + u" where 1=0"_s, connection);
            const int fieldCount = rs.Fields().Count();
            for (int k = 0; k < fieldCount; ++k) {
                const QString fieldName = text::lower(rs.Fields().Item(k).Name());
                for (int j = 1; j <= columnCount; ++j) {
                    ColumnInfo &column = catalog[j];
                    if (column.tabAlias.isEmpty() && text::lower(column.colExpr) == fieldName) {
                        column.tabName = table.tabName;
                        column.tabAlias = table.tabAlias;
                        ++bound;
                    }
                }
            }
            rs.Close();
            if (bound == columnCount) {
                break;
            }
        }
    } catch (...) {
        showCurrentError(QString());
        return false;
    }
    return true;
}

} // namespace condora
