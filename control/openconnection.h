#pragma once

#include "condora_export.h"

#include "platform/ado/connection.h"

#include <QSqlError>
#include <QString>

#include <memory>

namespace condora {

/// Opens a connection from a connection string (see condora::ado::Connection for the forms) and
/// throws nothing: returns the open connection, or null with the reason in `*error` (when given;
/// nativeErrorCode() is the error number, databaseText() the description, for a refused
/// connection the database's own message). `*error` is invalid after success. The connection
/// is shared by whoever holds it, as Condora::setConnObj() expects.
CONDORA_EXPORT std::shared_ptr<ado::Connection> openConnection(const QString &connectionString,
                                                               QSqlError *error = nullptr);

} // namespace condora
