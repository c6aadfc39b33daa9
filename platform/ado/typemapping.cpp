#include "platform/ado/typemapping.h"

#include "platform/ado/recordset.h"


#include <sql.h>
#include <sqlext.h>

namespace condora::ado {

namespace {

struct NameType
{
    const char *name;
    int type;
};

// Declared type names (upper case, without their "(size)" part) that name a type exactly.
constexpr NameType sqliteDeclaredTypes[] = {
    {"INTEGER", adInteger},
    {"INT", adInteger},
    {"MEDIUMINT", adInteger},
    {"BIGINT", adBigInt},
    {"INT8", adBigInt},
    {"UNSIGNED BIG INT", adUnsignedBigInt},
    {"SMALLINT", adSmallInt},
    {"INT2", adSmallInt},
    {"TINYINT", adTinyInt},
    {"BOOLEAN", adBoolean},
    {"BOOL", adBoolean},
    {"BIT", adBoolean},
    {"YESNO", adBoolean},
    {"REAL", adDouble},
    {"DOUBLE", adDouble},
    {"DOUBLE PRECISION", adDouble},
    {"FLOAT", adDouble},
    {"SINGLE", adSingle},
    {"NUMERIC", adNumeric},
    {"DECIMAL", adNumeric},
    {"MONEY", adCurrency},
    {"CURRENCY", adCurrency},
    {"DATE", adDBDate},
    {"DATETIME", adDBTimeStamp},
    {"TIMESTAMP", adDBTimeStamp},
    {"TIME", adDBTime},
    {"CHAR", adWChar},
    {"NCHAR", adWChar},
    {"CHARACTER", adWChar},
    {"NATIVE CHARACTER", adWChar},
    {"VARCHAR", adVarWChar},
    {"NVARCHAR", adVarWChar},
    {"VARYING CHARACTER", adVarWChar},
    // SQLite compares TEXT like any string. MEMO, NTEXT and CLOB name the long text of other
    // systems (Access, SQL Server, Oracle) that a schema mirrors: they stay long text.
    {"TEXT", adVarWChar},
    {"NTEXT", adLongVarWChar},
    {"MEMO", adLongVarWChar},
    {"CLOB", adLongVarWChar},
    {"BLOB", adLongVarBinary},
    {"GUID", adGUID},
    {"UUID", adGUID},
    {"UNIQUEIDENTIFIER", adGUID},
};

struct CodeType
{
    int code;
    int type;
};

// PostgreSQL built-in type OIDs (pg_type.oid).
constexpr CodeType postgresTypes[] = {
    {16, adBoolean},         // bool
    {21, adSmallInt},        // int2
    {23, adInteger},         // int4
    {20, adBigInt},          // int8
    {700, adSingle},         // float4
    {701, adDouble},         // float8
    {790, adCurrency},       // money
    {1700, adNumeric},       // numeric
    {1082, adDBDate},        // date
    {1083, adDBTime},        // time
    {1114, adDBTimeStamp},   // timestamp
    {1184, adDBTimeStamp},   // timestamptz
    {1042, adWChar},         // bpchar
    {1043, adVarWChar},      // varchar
    {25, adLongVarWChar},    // text
    {19, adVarWChar},        // name
    {18, adChar},            // "char"
    {17, adLongVarBinary},   // bytea
    {2950, adGUID},          // uuid
};

// ODBC SQL types, as the standard ODBC-to-DataTypeEnum table maps them.
constexpr CodeType odbcTypes[] = {
    {SQL_CHAR, adChar},
    {SQL_VARCHAR, adVarChar},
    {SQL_LONGVARCHAR, adLongVarChar},
    {SQL_WCHAR, adWChar},
    {SQL_WVARCHAR, adVarWChar},
    {SQL_WLONGVARCHAR, adLongVarWChar},
    {SQL_DECIMAL, adNumeric},
    {SQL_NUMERIC, adNumeric},
    {SQL_SMALLINT, adSmallInt},
    {SQL_INTEGER, adInteger},
    {SQL_REAL, adSingle},
    {SQL_FLOAT, adDouble},
    {SQL_DOUBLE, adDouble},
    {SQL_BIT, adBoolean},
    {SQL_TINYINT, adTinyInt},
    {SQL_BIGINT, adBigInt},
    {SQL_BINARY, adBinary},
    {SQL_VARBINARY, adVarBinary},
    {SQL_LONGVARBINARY, adLongVarBinary},
    {SQL_TYPE_DATE, adDBDate},
    {SQL_TYPE_TIME, adDBTime},
    {SQL_TYPE_TIMESTAMP, adDBTimeStamp},
    {SQL_DATE, adDBDate},
    {SQL_TIME, adDBTime},
    {SQL_TIMESTAMP, adDBTimeStamp},
    {SQL_GUID, adGUID},
};

// Qt value types, for drivers without native type information of their own.
constexpr CodeType qtTypes[] = {
    {QMetaType::Bool, adBoolean},
    {QMetaType::Short, adSmallInt},
    {QMetaType::UShort, adUnsignedSmallInt},
    {QMetaType::Int, adInteger},
    {QMetaType::UInt, adUnsignedInt},
    {QMetaType::LongLong, adBigInt},
    {QMetaType::ULongLong, adUnsignedBigInt},
    {QMetaType::Float, adSingle},
    {QMetaType::Double, adDouble},
    {QMetaType::QDate, adDBDate},
    {QMetaType::QTime, adDBTime},
    {QMetaType::QDateTime, adDBTimeStamp},
    {QMetaType::QString, adVarWChar},
    {QMetaType::QByteArray, adLongVarBinary},
    {QMetaType::QUuid, adGUID},
};

template <std::size_t N>
int lookUp(const CodeType (&table)[N], int code, int fallback)
{
    for (const CodeType &entry : table) {
        if (entry.code == code) {
            return entry.type;
        }
    }
    return fallback;
}

} // namespace

int typeFromSqliteDeclaredType(const QString &declaredType)
{
    // "VARCHAR(40)" -> "VARCHAR", "double  precision" -> "DOUBLE PRECISION".
    QString name = declaredType.toUpper();
    const qsizetype bracket = name.indexOf(u'(');
    if (bracket >= 0) {
        name.truncate(bracket);
    }
    name = name.simplified();
    if (name.isEmpty()) {
        return adVariant;
    }
    for (const NameType &entry : sqliteDeclaredTypes) {
        if (name == QLatin1String(entry.name)) {
            return entry.type;
        }
    }
    // SQLite's column affinity rules, in SQLite's order.
    if (name.contains(u"INT")) {
        return adInteger;
    }
    if (name.contains(u"CLOB")) {
        return adLongVarWChar;
    }
    if (name.contains(u"TEXT")) {
        return adVarWChar;
    }
    if (name.contains(u"CHAR")) {
        return adVarWChar;
    }
    if (name.contains(u"BLOB")) {
        return adLongVarBinary;
    }
    if (name.contains(u"REAL") || name.contains(u"FLOA") || name.contains(u"DOUB")) {
        return adDouble;
    }
    return adNumeric;
}

int typeFromPostgresOid(int oid)
{
    return lookUp(postgresTypes, oid, adUserDefined);
}

int typeFromOdbcSqlType(int sqlType)
{
    return lookUp(odbcTypes, sqlType, adUserDefined);
}

int typeFromQtMetaType(QMetaType::Type type)
{
    return lookUp(qtTypes, int(type), adVariant);
}

} // namespace condora::ado
