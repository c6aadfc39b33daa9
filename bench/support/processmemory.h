#pragma once

// This process's memory, as the kernel reports it, for the benchmarks' memory figures.

#include <QByteArray>
#include <QFile>

#include <unistd.h>

#include <fstream>

namespace condora::bench {

/// A line of /proc/self/status in bytes ("VmRSS", "VmHWM").
inline qint64 statusBytes(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix)) {
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
        }
    }
    return 0;
}

/// The resident set now, in bytes (/proc/self/statm).
inline qint64 residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    qint64 pages = 0;
    qint64 resident = 0;
    statm >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

} // namespace condora::bench
