#pragma once

#include "platform/ado/statementactivity.h"

namespace condora::ado {

/// For PostgreSQL statements: begin() on construction and end() on destruction of a connection's StatementActivity, once
/// for the outermost scope: the steps of one statement (its guard's commands, the statement,
/// the rows fetched with it) nest scopes, and the activity sees them as one statement.
class PgActivityScope
{
public:
    PgActivityScope(StatementActivity *activity, const QString &sql)
    {
        if (activity && current() != activity) {
            m_activity = activity;
            m_outer = current();
            current() = activity;
            activity->begin(sql);
        }
    }
    ~PgActivityScope()
    {
        if (m_activity) {
            current() = m_outer;
            m_activity->end();
        }
    }
    PgActivityScope(const PgActivityScope &) = delete;
    PgActivityScope &operator=(const PgActivityScope &) = delete;

private:
    static StatementActivity *&current()
    {
        static thread_local StatementActivity *active = nullptr;
        return active;
    }

    StatementActivity *m_activity = nullptr;
    StatementActivity *m_outer = nullptr;
};

} // namespace condora::ado
