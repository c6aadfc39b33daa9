#include "condition/valuelist.h"

using namespace Qt::StringLiterals;

namespace condora {

std::optional<QStringList> splitValueList(const QString &cell)
{
    QStringList values;
    const qsizetype n = cell.size();
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < n && cell.at(i).isSpace()) {
            ++i;
        }
    };
    skipBlanks();
    if (i == n) {
        return values;
    }
    while (true) {
        skipBlanks();
        QString value;
        if (i < n && cell.at(i) == u'"') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (cell.at(i) == u'"') {
                    if (i + 1 < n && cell.at(i + 1) == u'"') {
                        value += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += cell.at(i++);
            }
            if (!closed) {
                return std::nullopt;
            }
            skipBlanks();
            if (i < n && cell.at(i) != u',') {
                return std::nullopt;
            }
        } else {
            const qsizetype start = i;
            while (i < n && cell.at(i) != u',') {
                ++i;
            }
            value = cell.mid(start, i - start).trimmed();
            if (value.isEmpty() || value.contains(u'"')) {
                return std::nullopt;
            }
        }
        values.append(value);
        if (i == n) {
            return values;
        }
        ++i; // the comma
    }
}

QString joinValueList(const QStringList &values)
{
    QStringList written;
    written.reserve(values.size());
    for (const QString &value : values) {
        const bool quote = value.isEmpty() || value.contains(u',') || value.contains(u'"') || value.front().isSpace()
                           || value.back().isSpace();
        written.append(quote ? u'"' + QString(value).replace(u"\""_s, u"\"\""_s) + u'"' : value);
    }
    return written.join(u", "_s);
}

} // namespace condora
