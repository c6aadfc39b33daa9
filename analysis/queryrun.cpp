#include "analysis/queryrun.h"

#include "platform/ado/connection.h"
#include "platform/runtimeerror.h"

using namespace Qt::StringLiterals;

namespace condora {

ado::Connection &connectionOf(const QueryRun &run)
{
    if (!run.connection) {
        throw RuntimeError::objectNotSet(QStringLiteral("The query run has no connection."));
    }
    return *run.connection;
}

QString quotedName(const QString &name, const QueryRun &run)
{
    if (run.dbKind == DbKind::SqlServer || run.dbKind == DbKind::Access) {
        return u'[' + QString(name).replace(u"]"_s, u"]]"_s) + u']';
    }
    const QChar quote = run.product == DbProduct::MySql ? u'`' : u'"';
    return quote + QString(name).replace(quote, QString(2, quote)) + quote;
}

} // namespace condora
