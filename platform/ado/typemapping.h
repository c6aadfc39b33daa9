#pragma once

#include <QMetaType>
#include <QString>

namespace condora::ado {

/// Data type numbers (DataTypeEnum) derived from each driver's native type information.
/// Every mapping is one table in typemapping.cpp.

/// SQLite: the declared column type as sqlite3_column_decltype() reports it ("VARCHAR(40)",
/// "DATE", "MEMO", ...). Known names come from the table; other names follow SQLite's own
/// affinity rules, except that a name holding TEXT is a string (202), not long text: only
/// MEMO, NTEXT and names holding CLOB give 203. A null or empty declared type (an expression,
/// a cast, an aggregate) gives 12.
int typeFromSqliteDeclaredType(const QString &declaredType);

/// PostgreSQL: the type OID. Types without an entry give 132, so they are never offered.
int typeFromPostgresOid(int oid);

/// ODBC: the SQL type (SQL_WVARCHAR, SQL_TYPE_DATE, ...), ODBC 2 date/time codes included.
/// Types without an entry give 132.
int typeFromOdbcSqlType(int sqlType);

/// Any other Qt driver: the coarse Qt value type of the field.
int typeFromQtMetaType(QMetaType::Type type);

} // namespace condora::ado
