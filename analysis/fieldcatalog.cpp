#include "analysis/fieldcatalog.h"

#include "analysis/catalogaccess.h"
#include "analysis/errorreport.h"
#include "analysis/statementtools.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/textfunctions.h"

using namespace Qt::StringLiterals;

namespace condora {

bool readColumnNames(const QString &statement, FieldCatalog &catalog)
{
    try {
        ado::Recordset rs;
        rs.Open(probeSql(statement), currentConnection());
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

bool readColumnTypes(const QString &statement, FieldCatalog &catalog)
{
    try {
        ado::Recordset rs;
        rs.Open(probeSql(statement), currentConnection());
        const int n = rs.Fields().Count();
        for (int i = 1; i <= n; ++i) {
            ColumnInfo &column = detail::at(catalog, i);
            const int type = rs.Fields().Item(i - 1).Type();
            column.typeCode = QString::number(type);
            column.typeClass = typeClassOf(type);
            if (column.typeClass == u"other"_s) {
                column.usable = u"0"_s;
            }
        }
        rs.Close();
    } catch (...) {
        showCurrentError(QString());
        return false;
    }
    return true;
}

QString typeClassOf(int typeNumber)
{
    switch (typeNumber) {
    case ado::adSmallInt:
    case ado::adInteger:
    case ado::adSingle:
    case ado::adDouble:
    case ado::adCurrency:
    case ado::adDecimal:
    case ado::adTinyInt:
    case ado::adUnsignedTinyInt:
    case ado::adUnsignedSmallInt:
    case ado::adUnsignedInt:
    case ado::adBigInt:
    case ado::adUnsignedBigInt:
    case ado::adNumeric:
    case ado::adVarNumeric:
        return u"number"_s;
    case ado::adDate:
    case ado::adFileTime:
    case ado::adDBDate:
    case ado::adDBTimeStamp:
        return u"date"_s;
    // A time of day (adDBTime) is compared as text, not as a date.
    case ado::adBSTR:
    case ado::adError:
    case ado::adVariant:
    case ado::adChar:
    case ado::adWChar:
    case ado::adDBTime:
    case ado::adVarChar:
    case ado::adVarWChar:
        return u"string"_s;
    case ado::adBoolean:
        return u"boolean"_s;
    case ado::adLongVarChar:
    case ado::adLongVarWChar:
        return u"lstring"_s;
    default:
        return u"other"_s;
    }
}

} // namespace condora
