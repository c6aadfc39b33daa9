#pragma once

#include "platform/ado/connection.h"
#include "platform/ado/statementactivity.h"

#include <memory>

namespace condora::ado {

/// The activity a result's later fetches run under once the one it was opened under has left
/// the connection: a host that scrolls a grid through a result the control handed over still
/// sees the busy state and can stop a slow fetch. It is put on the connection only for a fetch
/// and only while the connection still has the activity it had when the result was handed
/// over (the host's own, or none); whatever went on the connection meanwhile is left alone.
class LentActivity
{
public:
    void set(std::shared_ptr<StatementActivity> activity, StatementActivity *replaced)
    {
        m_activity = std::move(activity);
        m_replaced = replaced;
    }

    /// The activity on `connection` for this object's lifetime.
    class Use
    {
    public:
        Use(const LentActivity &lent, Connection *connection)
        {
            if (connection && lent.m_activity && connection->statementActivity() == lent.m_replaced) {
                m_connection = connection;
                m_replaced = lent.m_replaced;
                m_kept = lent.m_activity; // alive until the fetch is over
                connection->setStatementActivity(m_kept.get());
            }
        }
        ~Use()
        {
            if (m_connection && m_connection->statementActivity() == m_kept.get()) {
                m_connection->setStatementActivity(m_replaced);
            }
        }
        Use(const Use &) = delete;
        Use &operator=(const Use &) = delete;

    private:
        Connection *m_connection = nullptr;
        StatementActivity *m_replaced = nullptr;
        std::shared_ptr<StatementActivity> m_kept;
    };

private:
    std::shared_ptr<StatementActivity> m_activity;
    StatementActivity *m_replaced = nullptr;
};

} // namespace condora::ado
