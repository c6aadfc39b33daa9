#include "demo/ccurfunction.h"

#include "platform/ado/connection.h"
#include "platform/runtimeerror.h"

#include <QSqlDriver>

#include <sqlite3.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

void ccur(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    if (argc != 1) {
        sqlite3_result_error(context, "CCur takes one argument", -1);
        return;
    }
    sqlite3_value *argument = argv[0];
    switch (sqlite3_value_numeric_type(argument)) {
    case SQLITE_NULL:
        sqlite3_result_null(context);
        return;
    case SQLITE_INTEGER:
        sqlite3_result_int64(context, sqlite3_value_int64(argument));
        return;
    case SQLITE_FLOAT:
        sqlite3_result_double(context, roundToCurrency(sqlite3_value_double(argument)));
        return;
    default:
        sqlite3_result_error(context, "Type mismatch in CCur", -1);
        return;
    }
}

sqlite3 *sqliteHandle(const ado::Connection &connection)
{
    if (!connection.isOpen()) {
        throw RuntimeError::objectNotSet(u"the connection is not open"_s);
    }
    const QSqlDatabase database = connection.database();
    const QVariant handle = database.driver() ? database.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        throw RuntimeError::typeMismatch(u"CCur can only be registered on a SQLite connection"_s);
    }
    return *static_cast<sqlite3 *const *>(handle.data());
}

} // namespace

double roundToCurrency(double value)
{
    // Four decimals: scale, round halves to even, scale back. Values too large to scale stay as they are.
    const double scaled = value * 10000.0;
    if (!std::isfinite(scaled) || std::fabs(scaled) > 9.0e15) {
        return value;
    }
    return std::nearbyint(scaled) / 10000.0;
}

void registerCCurFunction(ado::Connection &connection)
{
    sqlite3 *db = sqliteHandle(connection);
    if (!db) {
        throw RuntimeError::objectNotSet(u"the SQLite connection has no database handle"_s);
    }
    const int rc = sqlite3_create_function_v2(db, "CCur", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, ccur,
                                              nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        throw RuntimeError::database(QString::fromUtf8(sqlite3_errmsg(db)));
    }
}

} // namespace condora
