// The value picker's catalog look-ups.

#include "dialog/cataloglookup.h"

#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"

using namespace Qt::StringLiterals;

namespace condora {

QString catalogLiteral(const QString &text)
{
    return u'\'' + QString(text).replace(u"'"_s, u"''"_s) + u'\'';
}

QList<QVariant> firstRow(ado::Connection &connection, const QString &sql)
{
    ado::Recordset rows;
    rows.Open(sql, connection);
    QList<QVariant> values;
    if (!rows.Eof()) {
        for (int i = 0; i < rows.Fields().Count(); ++i) {
            values.append(rows.Fields().Item(i).Value());
        }
    }
    rows.Close();
    return values;
}

bool hasRow(ado::Connection &connection, const QString &sql)
{
    ado::Recordset rows;
    rows.Open(sql, connection);
    const bool found = !rows.Eof();
    rows.Close();
    return found;
}

} // namespace condora
