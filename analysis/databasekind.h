#pragma once

#include "condora_export.h"

#include <QString>

namespace condora {

namespace ado {
class Connection;
class Properties;
} // namespace ado

/// "1" Oracle, "2" SQL Server, "3" Access/Jet, "99" any other, empty when no provider
/// property name contains "dbms name" or the properties cannot be read (then reported).
CONDORA_EXPORT QString getDbKind(ado::Connection &connection);

/// The walk of getDbKind over a property collection, without its error trap: the kind from
/// the value of the first property whose name contains "dbms name" (any case), or empty.
CONDORA_EXPORT QString dbKindFromProperties(const ado::Properties &properties);

/// The kind of a DBMS name: "1" when it contains "oracle", else "2" with "server", else "3"
/// with "access" or "jet", else "99" (substring tests in any case, in this order).
CONDORA_EXPORT QString dbKindFromDbmsName(const QString &dbmsName);

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
