#pragma once

#include <QElapsedTimer>
#include <QFile>

/// Milliseconds since start() on the wall clock, less the time the calling thread spent
/// waiting for a processor (Linux's /proc/thread-self/schedstat; plain wall time where it
/// cannot be read). Other programs' load on a shared machine then does not count as time the
/// program held its thread up, while time it blocked (working, or waiting for a database) does.
/// Read it on one thread only.
class ThreadClock
{
public:
    void start()
    {
        m_wall.start();
        m_waitAtStart = runQueueWaitNs();
    }
    qint64 elapsed() const { return m_wall.elapsed() - (runQueueWaitNs() - m_waitAtStart) / 1000000; }

private:
    static qint64 runQueueWaitNs()
    {
        QFile stat(QStringLiteral("/proc/thread-self/schedstat"));
        if (!stat.open(QIODevice::ReadOnly)) {
            return 0;
        }
        const QList<QByteArray> fields = stat.readAll().simplified().split(' ');
        return fields.size() >= 2 ? fields.at(1).toLongLong() : 0;
    }

    QElapsedTimer m_wall;
    qint64 m_waitAtStart = 0;
};
