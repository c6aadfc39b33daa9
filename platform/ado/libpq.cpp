#include "platform/ado/libpq.h"

#include <QSqlDriver>
#include <QVariant>

#include <dlfcn.h>

namespace condora::ado {

const PgApi &pgApi()
{
    static const PgApi api = [] {
        PgApi found;
        if (void *lib = dlopen("libpq.so.5", RTLD_LAZY | RTLD_NOLOAD)) {
            const auto bind = [lib](auto &function, const char *name) {
                function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(lib, name));
            };
            bind(found.prepare, "PQprepare");
            bind(found.exec, "PQexec");
            bind(found.resultStatus, "PQresultStatus");
            bind(found.resultErrorField, "PQresultErrorField");
            bind(found.clear, "PQclear");
            bind(found.resultErrorMessage, "PQresultErrorMessage");
            bind(found.status, "PQstatus");
            bind(found.transactionStatus, "PQtransactionStatus");
            bind(found.ntuples, "PQntuples");
            bind(found.getvalue, "PQgetvalue");
            bind(found.parameterStatus, "PQparameterStatus");
            bind(found.sendQuery, "PQsendQuery");
            bind(found.sendPrepare, "PQsendPrepare");
            bind(found.setSingleRowMode, "PQsetSingleRowMode");
            bind(found.socket, "PQsocket");
            bind(found.consumeInput, "PQconsumeInput");
            bind(found.isBusy, "PQisBusy");
            bind(found.getResult, "PQgetResult");
            bind(found.getCancel, "PQgetCancel");
            bind(found.cancel, "PQcancel");
            bind(found.freeCancel, "PQfreeCancel");
            bind(found.errorMessage, "PQerrorMessage");
            bind(found.nfields, "PQnfields");
            bind(found.fname, "PQfname");
            bind(found.ftype, "PQftype");
            bind(found.getisnull, "PQgetisnull");
            bind(found.getlength, "PQgetlength");
            bind(found.unescapeBytea, "PQunescapeBytea");
            bind(found.freemem, "PQfreemem");
        }
        return found;
    }();
    return api;
}

void *pgConnection(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0) {
        return nullptr;
    }
    return *static_cast<void *const *>(handle.constData());
}

} // namespace condora::ado
