#pragma once

#include "analysis/dbkind.h"
#include "analysis/queryrun.h"

#include <QString>

#include <optional>

namespace condora {

namespace ado {
class Connection;
class Properties;
} // namespace ado

/// The kind from the connection's "dbms name" property; Unknown when no provider property name
/// contains "dbms name", or when the properties cannot be read (then reported).
DbKind getDbKind(ado::Connection &connection);

/// The walk of getDbKind over a property collection, without its error trap: the kind from
/// the value of the first property whose name contains "dbms name" (any case), or empty.
DbKind dbKindFromProperties(const ado::Properties &properties);

/// The kind of a DBMS name: Oracle when it contains "oracle", else SqlServer with "server",
/// else Access with "access" or "jet", else Other (substring tests in any case, in this order).
DbKind dbKindFromDbmsName(const QString &dbmsName);

/// True when the first property whose name contains "dbms name" names MySQL or MariaDB, whose
/// string literals treat a backslash as an escape character. False when no such property
/// exists or the properties cannot be read (getDbKind reports that failure).
bool usesBackslashEscapes(ado::Connection &connection);
bool backslashEscapesForDbmsName(const QString &dbmsName);

/// True when the first property whose name contains "dbms name" names PostgreSQL, MySQL or
/// MariaDB, whose LIKE reads a backslash in the pattern as its escape character unless told
/// otherwise. False when no such property exists or the properties cannot be read.
bool usesLikeBackslashEscapes(ado::Connection &connection);
/// The name rule of usesLikeBackslashEscapes: the name contains "postgres", "mysql" or
/// "mariadb" (any case).
bool likeBackslashEscapesForDbmsName(const QString &dbmsName);

/// The product a DBMS name names: Sqlite with "sqlite", PostgreSql with "postgres", MySql with
/// "mysql" or "mariadb" (any case), else Other.
DbProduct dbProductFromDbmsName(const QString &dbmsName);
/// The product of the connection's "dbms name" property; Other when there is none or the
/// properties cannot be read (nothing is reported).
DbProduct getDbProduct(ado::Connection &connection);

/// How the connection's server reads backslashes, asked of the server itself:
///   PostgreSQL: standard_conforming_strings (the native driver's parameter status, or
///     current_setting() through ODBC); "off" makes a backslash in a plain literal an escape.
///     LIKE reads a backslash as its escape character either way.
///   MySQL and MariaDB: @@sql_mode; with NO_BACKSLASH_ESCAPES literals read a backslash as
///     itself, without it as an escape character. LIKE is asked on its own (MariaDB keeps the
///     backslash as its escape in that mode, MySQL drops it).
/// Where the server cannot be asked (another product, a refused probe, an unexpected answer)
/// the rules follow the DBMS name (backslashEscapesForDbmsName(),
/// likeBackslashEscapesForDbmsName()). Never reports anything.
EscapeRules escapeRulesOf(ado::Connection &connection);

/// The rules for a product from the server's answer: `setting` is PostgreSQL's
/// standard_conforming_strings or MySQL's sql_mode (possibly empty), `likeEscapes` whether the
/// server's LIKE read a backslash as its escape (unknown: it does); nullopt when the answer says
/// nothing clear or the product has no such setting.
std::optional<EscapeRules> escapeRulesFromSetting(DbProduct product, const QString &setting,
                                                  std::optional<bool> likeEscapes = std::nullopt);

} // namespace condora
