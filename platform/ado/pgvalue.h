#pragma once

#include <QSqlDatabase>
#include <QVariant>

namespace condora::ado {

class RowStore;

/// The value of one PostgreSQL cell in libpq's text format, converted exactly as Qt's
/// PostgreSQL driver converts it (QPSQLResult::data), so that a row read through libpq
/// directly holds the very QVariants a QSqlQuery gave:
///   bool                               bool ('t')
///   int8                               qlonglong when negative, else qulonglong
///   int2, int4                         int
///   float4, float8, numeric            double (NaN, Infinity, -Infinity too); numeric follows
///                                      the database's numerical precision policy
///   date                               QDate (ISO text; an invalid QDate for BC or infinity)
///   time, timetz                       QTime
///   timestamp, timestamptz             QDateTime from the ISO text
///   bytea                              QByteArray (unescaped)
///   any other type                     QString (UTF-8)
/// `text` is NUL-terminated, `length` its length.
QVariant pgValue(const char *text, int length, unsigned oid, QSql::NumericalPrecisionPolicy policy);

/// Appends the value pgValue() gives for this cell to `store` as the next cell of its row,
/// without a QVariant for the common types (numbers, dates in the plain form, text).
void appendPgValue(RowStore &store, const char *text, int length, unsigned oid, QSql::NumericalPrecisionPolicy policy);

/// The null of a column of type `oid`: a null QVariant of the type pgValue() gives.
QVariant pgNull(unsigned oid);

} // namespace condora::ado
