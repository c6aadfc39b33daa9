#pragma once

#include <QSqlDatabase>

#include <cstddef>

namespace condora::ado {

/// The few libpq functions the data-access layer calls on a PostgreSQL connection beside Qt's
/// driver. libpq is already loaded by Qt's PostgreSQL driver; its functions are looked up at
/// run time, so building needs no libpq headers.
struct PgResult;
struct PgApi
{
    PgResult *(*prepare)(void *conn, const char *name, const char *query, int nParams, const unsigned *types) = nullptr;
    PgResult *(*exec)(void *conn, const char *query) = nullptr;
    int (*resultStatus)(const PgResult *) = nullptr;
    char *(*resultErrorField)(const PgResult *, int field) = nullptr;
    void (*clear)(PgResult *) = nullptr;
    char *(*resultErrorMessage)(const PgResult *) = nullptr;
    int (*status)(const void *conn) = nullptr;
    int (*transactionStatus)(const void *conn) = nullptr;
    int (*ntuples)(const PgResult *) = nullptr;
    char *(*getvalue)(const PgResult *, int row, int column) = nullptr;
    /// A server parameter the server reports on its own (standard_conforming_strings, ...);
    /// outside ok(): a caller checks it before use.
    const char *(*parameterStatus)(const void *conn, const char *paramName) = nullptr;
    bool ok() const
    {
        return prepare && exec && resultStatus && resultErrorField && clear && resultErrorMessage && status
            && transactionStatus && ntuples && getvalue;
    }

    // The asynchronous interface (asyncOk()): statements are sent, and their results read once
    // the socket has data, so that a statement never holds the caller up beyond a short wait.
    int (*sendQuery)(void *conn, const char *query) = nullptr;
    int (*sendPrepare)(void *conn, const char *name, const char *query, int nParams, const unsigned *types) = nullptr;
    int (*setSingleRowMode)(void *conn) = nullptr;
    int (*socket)(const void *conn) = nullptr;
    int (*consumeInput)(void *conn) = nullptr;
    int (*isBusy)(void *conn) = nullptr;
    PgResult *(*getResult)(void *conn) = nullptr;
    void *(*getCancel)(void *conn) = nullptr;
    int (*cancel)(void *cancel, char *errbuf, int errbufsize) = nullptr;
    void (*freeCancel)(void *cancel) = nullptr;
    char *(*errorMessage)(const void *conn) = nullptr;
    int (*nfields)(const PgResult *) = nullptr;
    char *(*fname)(const PgResult *, int column) = nullptr;
    unsigned (*ftype)(const PgResult *, int column) = nullptr;
    int (*getisnull)(const PgResult *, int row, int column) = nullptr;
    int (*getlength)(const PgResult *, int row, int column) = nullptr;
    unsigned char *(*unescapeBytea)(const unsigned char *from, size_t *length) = nullptr;
    void (*freemem)(void *pointer) = nullptr;
    bool asyncOk() const
    {
        return ok() && sendQuery && sendPrepare && setSingleRowMode && socket && consumeInput && isBusy
            && getResult && getCancel && cancel && freeCancel && errorMessage && nfields && fname && ftype
            && getisnull && getlength && unescapeBytea && freemem;
    }

    // Values of libpq's enums and field codes used here.
    static constexpr int CommandOk = 1;      // PGRES_COMMAND_OK
    static constexpr int TuplesOk = 2;       // PGRES_TUPLES_OK
    static constexpr int FatalError = 7;     // PGRES_FATAL_ERROR
    static constexpr int SingleTuple = 9;    // PGRES_SINGLE_TUPLE: one row of a single-row mode result
    static constexpr int ConnectionBad = 1;  // CONNECTION_BAD
    static constexpr int DiagSqlState = 'C'; // PG_DIAG_SQLSTATE
    static constexpr int DiagMessagePrimary = 'M';
    static constexpr int TransIdle = 0;      // PQTRANS_IDLE
    static constexpr int TransActive = 1;    // PQTRANS_ACTIVE: a command is in progress
    static constexpr int TransInTrans = 2;   // PQTRANS_INTRANS: idle, in a valid transaction block
    static constexpr int TransInError = 3;   // PQTRANS_INERROR: idle, in a failed transaction block
};

/// The libpq functions (ok() is false when libpq is not loaded).
const PgApi &pgApi();

/// The PGconn of a Qt PostgreSQL database, or null for any other database.
void *pgConnection(const QSqlDatabase &db);

} // namespace condora::ado
