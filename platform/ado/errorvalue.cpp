#include "platform/ado/errorvalue_p.h"

#include "platform/runtimeerror.h"

#include <QCoreApplication>

#include <exception>
#include <new>

namespace condora {

namespace {

// The texts and numbers of the error report's own (analysis/errorreport.cpp), so that both
// read alike and share their translations.
struct ErrorReportTexts
{
    Q_DECLARE_TR_FUNCTIONS(condora::ErrorReport)
};
constexpr int OutOfMemory = 7;
constexpr int InternalError = 51;

} // namespace

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
        return toSqlError(RuntimeError(OutOfMemory, ErrorReportTexts::tr("Out of memory")));
    } catch (const std::exception &error) {
        return toSqlError(
            RuntimeError(InternalError, ErrorReportTexts::tr("Internal error: ") + QString::fromLocal8Bit(error.what())));
    } catch (...) {
        return toSqlError(RuntimeError(InternalError, ErrorReportTexts::tr("Internal error")));
    }
}

} // namespace condora
