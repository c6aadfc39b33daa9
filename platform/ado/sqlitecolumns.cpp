#include "platform/ado/sqlitecolumns.h"

#include "platform/ado/typemapping.h"

#include <QByteArray>
#include <QHash>

#include <sqlite3.h>

#include <memory>

namespace condora::ado {

std::optional<SqliteColumns> sqliteColumns(sqlite3 *db, const QString &sql)
{
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt *raw = nullptr;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &raw, &tail) != SQLITE_OK || raw == nullptr) {
        sqlite3_finalize(raw);
        return std::nullopt;
    }
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> statement(raw, sqlite3_finalize);
    const qsizetype rest = text.constData() + text.size() - tail;
    if (!QString::fromUtf8(tail, rest).trimmed().isEmpty() || sqlite3_bind_parameter_count(raw) != 0) {
        return std::nullopt;
    }
    const int stepped = sqlite3_step(raw);
    if (stepped != SQLITE_ROW && stepped != SQLITE_DONE) {
        return std::nullopt;
    }
    SqliteColumns columns;
    const int count = sqlite3_column_count(raw);
    columns.names.reserve(count);
    columns.types.reserve(count);
    // A wide table declares the same few types over and over: each is mapped once.
    QHash<QByteArray, int> known;
    for (int i = 0; i < count; ++i) {
        const char *name = sqlite3_column_name(raw, i);
        columns.names.append(name ? QString::fromUtf8(name).remove(u'"') : QString());
        const char *declared = sqlite3_column_decltype(raw, i);
        const QByteArray type = QByteArray::fromRawData(declared, declared ? qstrlen(declared) : 0);
        auto it = known.constFind(type);
        if (it == known.cend()) {
            it = known.insert(QByteArray(type), typeFromSqliteDeclaredType(QString::fromUtf8(type)));
        }
        columns.types.append(it.value());
    }
    return columns;
}

} // namespace condora::ado
