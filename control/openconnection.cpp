#include "control/openconnection.h"

#include "control/errorvalue_p.h"

namespace condora {

std::shared_ptr<ado::Connection> openConnection(const QString &connectionString, QSqlError *error)
{
    if (error) {
        *error = QSqlError();
    }
    try {
        auto connection = std::make_shared<ado::Connection>();
        connection->Open(connectionString);
        return connection;
    } catch (...) {
        if (error) {
            *error = currentErrorAsSqlError();
        }
        return nullptr;
    }
}

} // namespace condora
