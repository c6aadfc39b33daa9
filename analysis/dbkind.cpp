#include "analysis/dbkind.h"

using namespace Qt::StringLiterals;

namespace condora {

QString dbKindText(DbKind kind)
{
    switch (kind) {
    case DbKind::Oracle:
        return u"1"_s;
    case DbKind::SqlServer:
        return u"2"_s;
    case DbKind::Access:
        return u"3"_s;
    case DbKind::Other:
        return u"99"_s;
    case DbKind::Unknown:
        break;
    }
    return QString();
}

DbKind dbKindFromText(const QString &text)
{
    for (DbKind kind : {DbKind::Oracle, DbKind::SqlServer, DbKind::Access, DbKind::Other}) {
        if (dbKindText(kind) == text) {
            return kind;
        }
    }
    return DbKind::Unknown;
}

} // namespace condora
