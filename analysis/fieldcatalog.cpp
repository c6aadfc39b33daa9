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
        rs.Open(probeSql(statement), connection);
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

bool readColumnTypes(ado::Connection &connection, const QString &statement, FieldCatalog &catalog)
{
    try {
        ado::Recordset rs;
        rs.Open(probeSql(statement), connection);
        const int n = rs.Fields().Count();
        for (int i = 1; i <= n; ++i) {
            ColumnInfo &column = detail::at(catalog, i);
            const int type = rs.Fields().Item(i - 1).Type();
            column.typeCode = type;
            column.typeClass = typeClassOf(type);
            column.usable = column.typeClass != TypeClass::Other;
        }
        rs.Close();
    } catch (...) {
        showCurrentError(QString());
        return false;
    }
    return true;
}

} // namespace condora
