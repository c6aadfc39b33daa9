#include "platform/ado/probecache.h"
#include "platform/ado/connection_p.h"

#include "platform/ado/connection.h"

namespace condora::ado {

std::optional<ProbeCache::Answer> ProbeCache::find(const QString &sql) const
{
    const auto found = m_answers.constFind(sql);
    if (found == m_answers.cend()) {
        return std::nullopt;
    }
    return *found;
}

ProbeCacheScope::ProbeCacheScope(Connection &connection)
    : m_connection(connection)
    , m_before(connection.d->m_probeCache)
{
    connection.d->m_probeCache = &m_cache;
}

ProbeCacheScope::~ProbeCacheScope()
{
    if (m_connection.d->m_probeCache == &m_cache) {
        m_connection.d->m_probeCache = m_before;
    }
}

} // namespace condora::ado
