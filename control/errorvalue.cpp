#include "control/errorvalue_p.h"

#include "platform/runtimeerror.h"

#include <QCoreApplication>

#include <exception>
#include <new>

namespace condora {

QSqlError toSqlError(const RuntimeError &error)
{
    return QSqlError(QString(), error.description(),
                     error.number() == ErrorNumber::Database ? QSqlError::StatementError : QSqlError::UnknownError,
                     QString::number(error.number()));
}

QSqlError currentErrorAsSqlError()
{
    try {
        throw;
    } catch (const RuntimeError &error) {
        return toSqlError(error);
    } catch (const std::bad_alloc &) {
        return toSqlError(RuntimeError(7, QCoreApplication::translate("condora::QueryModel", "Out of memory")));
    } catch (const std::exception &error) {
        return toSqlError(RuntimeError(51, QCoreApplication::translate("condora::QueryModel", "Internal error: %1")
                                               .arg(QString::fromLocal8Bit(error.what()))));
    } catch (...) {
        return toSqlError(RuntimeError(51, QCoreApplication::translate("condora::QueryModel", "Internal error")));
    }
}

} // namespace condora
