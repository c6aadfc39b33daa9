#include "analysis/databasekind.h"

#include "analysis/errorreport.h"
#include "platform/ado/connection.h"
#include "platform/ado/libpq.h"
#include "platform/ado/recordset.h"
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

DbProduct dbProductFromDbmsName(const QString &dbmsName)
{
    if (text::find(dbmsName, u"sqlite"_s) > 0) {
        return DbProduct::Sqlite;
    }
    if (text::find(dbmsName, u"postgres"_s) > 0) {
        return DbProduct::PostgreSql;
    }
    if (backslashEscapesForDbmsName(dbmsName)) {
        return DbProduct::MySql;
    }
    return DbProduct::Other;
}

DbProduct getDbProduct(ado::Connection &connection)
{
    return dbProductFromDbmsName(dbmsNameOf(connection));
}

std::optional<EscapeRules> escapeRulesFromSetting(DbProduct product, const QString &setting,
                                                  std::optional<bool> likeEscapes)
{
    const QString value = text::lower(text::trim(setting));
    if (product == DbProduct::PostgreSql) {
        if (value == u"on"_s) {
            return EscapeRules{false, likeEscapes.value_or(true)};
        }
        if (value == u"off"_s) {
            return EscapeRules{true, likeEscapes.value_or(true)};
        }
        return std::nullopt;
    }
    if (product == DbProduct::MySql) {
        // sql_mode is a comma-separated list of mode names (empty: no mode at all).
        const bool plain = value.split(u',').contains(u"no_backslash_escapes"_s);
        return EscapeRules{!plain, likeEscapes.value_or(true)};
    }
    return std::nullopt;
}

namespace {

/// The first row of a probe; empty when the server refuses it or sends no row.
QVariantList askServer(ado::Connection &connection, const QString &sql)
{
    QVariantList values;
    try {
        const std::unique_ptr<ado::Recordset> rows = connection.Execute(sql);
        if (rows && !rows->Eof()) {
            for (int i = 0; i < rows->Fields().Count(); ++i) {
                values.append(rows->Fields().Item(i).Value());
            }
        }
    } catch (...) {
        // The name rule stands in.
    }
    return values;
}

std::optional<QString> textOf(const QVariantList &values, int index)
{
    if (index >= values.size() || values.at(index).isNull()) {
        return std::nullopt;
    }
    return values.at(index).toString();
}

std::optional<EscapeRules> statedRules(ado::Connection &connection, DbProduct product)
{
    if (product == DbProduct::PostgreSql) {
        // The native driver knows the setting without a round trip: the server reports it
        // whenever it changes.
        if (void *conn = ado::pgConnection(connection.database()); conn && ado::pgApi().parameterStatus) {
            if (const char *status = ado::pgApi().parameterStatus(conn, "standard_conforming_strings")) {
                return escapeRulesFromSetting(product, QString::fromLatin1(status));
            }
        }
        const auto setting =
            textOf(askServer(connection, u"select current_setting('standard_conforming_strings')"_s), 0);
        return setting ? escapeRulesFromSetting(product, *setting) : std::nullopt;
    }
    if (product == DbProduct::MySql) {
        // Whether LIKE reads a backslash as its escape under NO_BACKSLASH_ESCAPES differs
        // between MySQL (it does not) and MariaDB (it does): the server shows it on "a%", which
        // only a pattern of "a", an escaped "%" matches.
        const QVariantList answer =
            askServer(connection, u"select @@sql_mode, 'a%' like concat('a', char(92 using utf8mb4), '%')"_s);
        const auto setting = textOf(answer, 0);
        const auto like = textOf(answer, 1);
        if (!setting || !like) {
            return std::nullopt;
        }
        return escapeRulesFromSetting(product, *setting, like->trimmed() == u"1"_s);
    }
    return std::nullopt;
}

} // namespace

EscapeRules escapeRulesOf(ado::Connection &connection)
{
    const QString name = dbmsNameOf(connection);
    if (connection.isOpen()) {
        if (const auto stated = statedRules(connection, dbProductFromDbmsName(name))) {
            return *stated;
        }
    }
    return EscapeRules{backslashEscapesForDbmsName(name), likeBackslashEscapesForDbmsName(name)};
}

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
