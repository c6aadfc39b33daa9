#include "analysis/fieldcatalog.h"

#include "analysis/catalogaccess.h"
#include "analysis/databasekind.h"
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

/// PostgreSQL knows no long text that cannot be compared: its text (long text to ODBC as well)
/// is an ordinary string. Types of an extension (citext, ...) have no fixed OID; one whose
/// category is string is a string too. A failure to read the categories leaves those columns
/// unoffered, as before.
void classPostgresText(ado::Connection &connection, const QList<int> &oids, FieldCatalog &catalog)
{
    if (getDbProduct(connection) != DbProduct::PostgreSql) {
        return;
    }
    // User-defined OIDs start here (FirstNormalObjectId).
    constexpr int firstUserOid = 16384;
    QStringList unknown;
    for (int i = 1; i < catalog.size(); ++i) {
        ColumnInfo &column = catalog[i];
        if (column.typeClass == TypeClass::LongString) {
            column.typeClass = TypeClass::String;
        } else if (column.typeCode == ado::adUserDefined && oids.value(i - 1) >= firstUserOid) {
            unknown.append(QString::number(oids.value(i - 1)));
        }
    }
    if (unknown.isEmpty()) {
        return;
    }
    try {
        ado::Recordset rs;
        rs.Open(u"select oid::int from pg_catalog.pg_type where typcategory = 'S' and oid in ("_s
                    + unknown.join(u", "_s) + u")"_s,
                connection);
        QList<int> strings;
        while (!rs.Eof()) {
            strings.append(rs.Fields().Item(0).Value().toInt());
            rs.MoveNext();
        }
        rs.Close();
        for (int i = 1; i < catalog.size(); ++i) {
            ColumnInfo &column = catalog[i];
            if (column.typeCode == ado::adUserDefined && strings.contains(oids.value(i - 1))) {
                column.typeClass = TypeClass::String;
                column.usable = true;
            }
        }
    } catch (...) {
        // Unread: the columns stay unoffered.
    }
}

} // namespace

bool readColumnTypes(ado::Connection &connection, const QString &statement, FieldCatalog &catalog)
{
    try {
        ado::Recordset rs;
        rs.OpenColumns(probeSql(statement), connection);
        const int n = rs.Fields().Count();
        QList<int> oids;
        for (int i = 1; i <= n; ++i) {
            ColumnInfo &column = detail::at(catalog, i);
            const int type = rs.Fields().Item(i - 1).Type();
            oids.append(rs.Fields().Item(i - 1).NativeType());
            column.typeCode = type;
            column.typeClass = typeClassOf(type);
            column.usable = column.typeClass != TypeClass::Other;
        }
        rs.Close();
        classUntypedSqliteColumns(connection, statement, catalog);
        classPostgresText(connection, oids, catalog);
    } catch (...) {
        showCurrentError(QString());
        return false;
    }
    return true;
}

} // namespace condora
