#include "platform/ado/sqliterows.h"

#include "platform/ado/rowstore.h"

#include <QByteArrayView>
#include <QCoreApplication>
#include <QSqlQuery>
#include <QSqlResult>
#include <QString>

#include <sqlite3.h>

#include <cstring>

namespace condora::ado {

namespace {

// True when SQLite's own UTF-16 conversion, which Qt's driver reads, gives exactly the text
// these UTF-8 bytes decode to in Qt. ASCII always does; other text when it is valid UTF-8 and
// holds neither U+FFFE nor U+FFFF, which SQLite turns into U+FFFD.
bool readsAsUtf8(const char *text, qsizetype size)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    unsigned char any = 0;
    for (qsizetype i = 0; i < size; ++i) {
        any |= bytes[i];
    }
    if (any < 0x80) {
        return true;
    }
    if (!QByteArrayView(text, size).isValidUtf8()) {
        return false;
    }
    for (qsizetype i = 0; i + 2 < size; ++i) {
        if (bytes[i] == 0xef && bytes[i + 1] == 0xbf && (bytes[i + 2] == 0xbe || bytes[i + 2] == 0xbf)) {
            return false;
        }
    }
    return true;
}

} // namespace

QString sqliteDriverText(const char *text)
{
    // The driver's context, held in a variable: these texts are Qt's to translate, not ours.
    static const char *const driverContext = "QSQLiteResult";
    return QCoreApplication::translate(driverContext, text);
}

sqlite3_stmt *sqliteStatement(const QSqlQuery &query)
{
    const QSqlResult *result = query.result();
    if (!result) {
        return nullptr;
    }
    const QVariant handle = result->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0) {
        return nullptr;
    }
    return *static_cast<sqlite3_stmt *const *>(handle.constData());
}

void appendSqliteRow(sqlite3_stmt *statement, RowStore &store)
{
    store.beginRow();
    const int columns = sqlite3_column_count(statement);
    for (int column = 0; column < columns; ++column) {
        switch (sqlite3_column_type(statement, column)) {
        case SQLITE_INTEGER:
            store.addInteger(sqlite3_column_int64(statement, column));
            break;
        case SQLITE_FLOAT:
            store.addDouble(sqlite3_column_double(statement, column));
            break;
        case SQLITE_NULL:
            store.addNull();
            break;
        case SQLITE_BLOB: {
            const void *data = sqlite3_column_blob(statement, column);
            store.addBytes(static_cast<const char *>(data), sqlite3_column_bytes(statement, column));
            break;
        }
        default: {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
            const qsizetype size = sqlite3_column_bytes(statement, column);
            if (readsAsUtf8(text, size)) {
                store.addText(text, size);
            } else {
                // Text that is not plain UTF-8 reads as SQLite's UTF-16 conversion gives it.
                const auto *utf16 = static_cast<const char16_t *>(sqlite3_column_text16(statement, column));
                const int bytes16 = sqlite3_column_bytes16(statement, column);
                store.addValue(QString::fromUtf16(utf16, bytes16 / qsizetype(sizeof(char16_t))));
            }
            break;
        }
        }
    }
    store.endRow();
}

QSqlError sqliteStepError(sqlite3_stmt *statement, int result)
{
    // The driver resets first on these two, to read the specific code and message.
    const bool resetFirst = result == SQLITE_ERROR || result == SQLITE_CONSTRAINT;
    const int code = resetFirst ? sqlite3_reset(statement) : result;
    sqlite3 *db = sqlite3_db_handle(statement);
    const QString message = QString::fromUtf16(static_cast<const char16_t *>(sqlite3_errmsg16(db)));
    if (!resetFirst) {
        sqlite3_reset(statement);
    }
    return QSqlError(sqliteDriverText("Unable to fetch row"), message,
                     QSqlError::ConnectionError, QString::number(code));
}

} // namespace condora::ado
