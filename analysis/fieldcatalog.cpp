#include "analysis/fieldcatalog.h"

#include "analysis/catalogaccess.h"
#include "analysis/errorreport.h"
#include "analysis/statementtools.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/textfunctions.h"

using namespace Qt::StringLiterals;

namespace condora {

bool readColumnNames(ado::Connection &connection, const QString &statement, FieldCatalog &catalog)
{
    try {
        ado::Recordset rs;
        rs.OpenColumns(probeSql(statement), connection);
        const int n = rs.Fields().Count();
        catalog = FieldCatalog(n + 1);
        for (int k = 0; k < n; ++k) {
            catalog[k + 1].colName = text::trim(rs.Fields().Item(k).Name());
        }
        rs.Close();
    } catch (...) {
        showCurrentError(QString());
        return false;
    }
    return true;
}

namespace {

/// SQLite gives no type for a column without a declared type (an expression, a view or table
/// column declared without one): such a column is classed by what it holds. The first rows are
/// read; a column whose values are all numbers is a number column, anything else stays text.
/// A failure leaves the classes as they are: the statement itself was proved already.
void classUntypedSqliteColumns(ado::Connection &connection, const QString &statement, FieldCatalog &catalog)
{
    QList<int> untyped;
    for (int i = 1; i < catalog.size(); ++i) {
        if (catalog.at(i).typeCode == ado::adVariant) {
            untyped.append(i);
        }
    }
    if (untyped.isEmpty() || connection.driverName() != u"QSQLITE"_s) {
        return;
    }
    try {
        ado::Recordset rs;
        // The line break ends a trailing comment of the statement before the bracket.
        rs.Open(u"select * from ("_s + statement + u"\n) limit 20"_s, connection);
        QList<bool> numbers(untyped.size(), false);
        QList<bool> others(untyped.size(), false);
        while (!rs.Eof()) {
            for (int k = 0; k < untyped.size(); ++k) {
                const QVariant value = rs.Fields().Item(untyped.at(k) - 1).Value();
                if (value.isNull()) {
                    continue;
                }
                const int type = value.typeId();
                const bool number = type == QMetaType::LongLong || type == QMetaType::Int || type == QMetaType::Double;
                (number ? numbers : others)[k] = true;
            }
            rs.MoveNext();
        }
        rs.Close();
        for (int k = 0; k < untyped.size(); ++k) {
            if (numbers.at(k) && !others.at(k)) {
                catalog[untyped.at(k)].typeClass = TypeClass::Number;
            }
        }
    } catch (...) {
        // Unread: the columns stay text.
    }
}

} // namespace

bool readColumnTypes(ado::Connection &connection, const QString &statement, FieldCatalog &catalog)
{
    try {
        ado::Recordset rs;
        rs.OpenColumns(probeSql(statement), connection);
        const int n = rs.Fields().Count();
        for (int i = 1; i <= n; ++i) {
            ColumnInfo &column = detail::at(catalog, i);
            const int type = rs.Fields().Item(i - 1).Type();
            column.typeCode = type;
            column.typeClass = typeClassOf(type);
            column.usable = column.typeClass != TypeClass::Other;
        }
        rs.Close();
        classUntypedSqliteColumns(connection, statement, catalog);
    } catch (...) {
        showCurrentError(QString());
        return false;
    }
    return true;
}

} // namespace condora
