#include "analysis/queryrun.h"

#include "platform/ado/connection.h"
#include "platform/runtimeerror.h"

namespace condora {

ado::Connection &connectionOf(const QueryRun &run)
{
    if (!run.connection) {
        throw RuntimeError::objectNotSet(QStringLiteral("The query run has no connection."));
    }
    return *run.connection;
}

} // namespace condora
