#include "analysis/databasekind.h"

#include "analysis/errorreport.h"
#include "platform/ado/connection.h"
#include "platform/textfunctions.h"

using namespace Qt::StringLiterals;

namespace condora {

DbKind getDbKind(ado::Connection &connection)
{
    try {
        return dbKindFromProperties(connection.Properties());
    } catch (...) {
        showCurrentError(QString());
        return DbKind::Unknown;
    }
}

DbKind dbKindFromProperties(const ado::Properties &properties)
{
    for (int i = 0; i < properties.Count(); ++i) {
        const ado::Property &property = properties.Item(i);
        if (text::find(text::lower(property.Name()), u"dbms name"_s) == 0) {
            continue;
        }
        return dbKindFromDbmsName(property.Value().toString());
    }
    return DbKind::Unknown;
}

namespace {

/// The value of the first property whose name contains "dbms name", or empty when there is
/// none or the properties cannot be read.
QString dbmsNameOf(ado::Connection &connection)
{
    try {
        const ado::Properties &properties = connection.Properties();
        for (int i = 0; i < properties.Count(); ++i) {
            const ado::Property &property = properties.Item(i);
            if (text::find(property.Name(), u"dbms name"_s) > 0) {
                return property.Value().toString();
            }
        }
    } catch (...) {
        // Reported by getDbKind; the rules then read no name.
    }
    return QString();
}

} // namespace

bool usesBackslashEscapes(ado::Connection &connection)
{
    return backslashEscapesForDbmsName(dbmsNameOf(connection));
}

bool usesLikeBackslashEscapes(ado::Connection &connection)
{
    return likeBackslashEscapesForDbmsName(dbmsNameOf(connection));
}

bool likeBackslashEscapesForDbmsName(const QString &dbmsName)
{
    return text::find(dbmsName, u"postgres"_s) > 0 || backslashEscapesForDbmsName(dbmsName);
}

bool backslashEscapesForDbmsName(const QString &dbmsName)
{
    return text::find(dbmsName, u"mysql"_s) > 0 || text::find(dbmsName, u"mariadb"_s) > 0;
}

DbKind dbKindFromDbmsName(const QString &dbmsName)
{
    const QString name = text::lower(dbmsName);
    if (text::find(name, u"oracle"_s) > 0) {
        return DbKind::Oracle;
    }
    if (text::find(name, u"server"_s) > 0) {
        return DbKind::SqlServer;
    }
    if (text::find(name, u"access"_s) > 0 || text::find(name, u"jet"_s) > 0) {
        return DbKind::Access;
    }
    return DbKind::Other;
}

} // namespace condora
