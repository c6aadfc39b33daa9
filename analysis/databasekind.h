#pragma once

#include "condora_export.h"

#include <QString>

namespace condora {

namespace ado {
class Connection;
}

/// "1" Oracle, "2" SQL Server, "3" Access/Jet, "99" any other, empty when no provider
/// property name contains "dbms name" or the properties cannot be read (then reported).
CONDORA_EXPORT QString getDbKind(ado::Connection &connection);

} // namespace condora
