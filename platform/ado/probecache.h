#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace condora::ado {

class Connection;

/// What the column probes (Recordset::OpenColumns) of one stretch of work answered, by
/// statement text: the analysis before the query dialog opens asks the same probe several
/// times (the statement's test, its column names, its column types), and the database is
/// asked once. An answer is the columns or the error the probe gave; a stopped probe gives
/// none and is asked again.
class ProbeCache
{
public:
    struct Answer
    {
        QStringList names;
        QList<int> types;
        /// The error the probe failed with (number 0: it succeeded).
        int errorNumber = 0;
        QString errorDescription;
    };

    /// The answer kept for `sql`, if any.
    std::optional<Answer> find(const QString &sql) const;
    void keep(const QString &sql, Answer answer) { m_answers.insert(sql, std::move(answer)); }

private:
    QHash<QString, Answer> m_answers;
};

/// Gives a connection a ProbeCache for the lifetime of this object; the connection gets back
/// the one it had before (none, usually).
class ProbeCacheScope
{
public:
    explicit ProbeCacheScope(Connection &connection);
    ~ProbeCacheScope();
    ProbeCacheScope(const ProbeCacheScope &) = delete;
    ProbeCacheScope &operator=(const ProbeCacheScope &) = delete;

private:
    Connection &m_connection;
    ProbeCache *m_before = nullptr;
    ProbeCache m_cache;
};

} // namespace condora::ado
