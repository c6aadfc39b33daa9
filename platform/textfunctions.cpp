#include "platform/textfunctions.h"

#include "platform/runtimeerror.h"

namespace condora::text {

namespace {

void checkStart(int start)
{
    if (start < 1) {
        throw RuntimeError::invalidArgument(QStringLiteral("start position %1 is below 1").arg(start));
    }
}

void checkLength(int length)
{
    if (length < 0) {
        throw RuntimeError::invalidArgument(QStringLiteral("length %1 is negative").arg(length));
    }
}

int findWith(const QString &in, const QString &what, int start, Qt::CaseSensitivity cs)
{
    checkStart(start);
    if (start > in.size() + 1) {
        return 0;
    }
    const qsizetype at = in.indexOf(what, start - 1, cs);
    return at < 0 ? 0 : int(at) + 1;
}

} // namespace

int find(const QString &in, const QString &what, int start)
{
    return findWith(in, what, start, Qt::CaseInsensitive);
}

int findExact(const QString &in, const QString &what, int start)
{
    return findWith(in, what, start, Qt::CaseSensitive);
}

QString mid(const QString &s, int start)
{
    checkStart(start);
    if (start > s.size()) {
        return QString();
    }
    return s.mid(start - 1);
}

QString mid(const QString &s, int start, int length)
{
    checkStart(start);
    checkLength(length);
    if (start > s.size()) {
        return QString();
    }
    return s.mid(start - 1, length);
}

QString left(const QString &s, int length)
{
    checkLength(length);
    return s.left(length);
}

QString right(const QString &s, int length)
{
    checkLength(length);
    return s.right(length);
}

QString trimLeft(const QString &s)
{
    qsizetype i = 0;
    while (i < s.size() && s.at(i) == QLatin1Char(' ')) {
        ++i;
    }
    return s.mid(i);
}

QString trimRight(const QString &s)
{
    qsizetype n = s.size();
    while (n > 0 && s.at(n - 1) == QLatin1Char(' ')) {
        --n;
    }
    return s.left(n);
}

QString trim(const QString &s)
{
    return trimLeft(trimRight(s));
}

QString replace(const QString &s, const QString &what, const QString &with)
{
    if (what.isEmpty()) {
        return s;
    }
    QString out = s;
    out.replace(what, with, Qt::CaseSensitive);
    return out;
}

QString lower(const QString &s)
{
    return s.toLower();
}

} // namespace condora::text
