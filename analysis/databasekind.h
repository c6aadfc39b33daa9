#pragma once

#include "condora_export.h"

#include "analysis/dbkind.h"

#include <QString>

namespace condora {

namespace ado {
class Connection;
class Properties;
} // namespace ado

/// The kind from the connection's "dbms name" property; Unknown when no provider property name
/// contains "dbms name", or when the properties cannot be read (then reported).
CONDORA_EXPORT DbKind getDbKind(ado::Connection &connection);

/// The walk of getDbKind over a property collection, without its error trap: the kind from
/// the value of the first property whose name contains "dbms name" (any case), or empty.
CONDORA_EXPORT DbKind dbKindFromProperties(const ado::Properties &properties);

/// The kind of a DBMS name: Oracle when it contains "oracle", else SqlServer with "server",
/// else Access with "access" or "jet", else Other (substring tests in any case, in this order).
CONDORA_EXPORT DbKind dbKindFromDbmsName(const QString &dbmsName);

/// True when the first property whose name contains "dbms name" names MySQL or MariaDB, whose
/// string literals treat a backslash as an escape character. False when no such property
/// exists or the properties cannot be read (getDbKind reports that failure).
CONDORA_EXPORT bool usesBackslashEscapes(ado::Connection &connection);
CONDORA_EXPORT bool backslashEscapesForDbmsName(const QString &dbmsName);

/// True when the first property whose name contains "dbms name" names PostgreSQL, MySQL or
/// MariaDB, whose LIKE reads a backslash in the pattern as its escape character unless told
/// otherwise. False when no such property exists or the properties cannot be read.
CONDORA_EXPORT bool usesLikeBackslashEscapes(ado::Connection &connection);
/// The name rule of usesLikeBackslashEscapes: the name contains "postgres", "mysql" or
/// "mariadb" (any case).
CONDORA_EXPORT bool likeBackslashEscapesForDbmsName(const QString &dbmsName);

} // namespace condora
