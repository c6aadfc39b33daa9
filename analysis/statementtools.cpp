#include "analysis/statementtools.h"

#include "analysis/errorreport.h"
#include "platform/ado/connection.h"
#include "platform/ado/recordset.h"
#include "platform/runtimeerror.h"
#include "platform/textfunctions.h"

using namespace Qt::StringLiterals;

namespace condora {

namespace {

// Grows the list to hold position n (1-based lists keep an empty position 0).
void growTo(QStringList &list, int n)
{
    while (list.size() <= n) {
        list.append(QString());
    }
}

} // namespace

QString trimSpaces(const QString &text)
{
    QString result;
    try {
        if (text.isEmpty()) {
            return text;
        }
        result = text;
        const QString twoSpaces = u"  "_s;
        while (text::findExact(result, twoSpaces) > 0) {
            result = text::replace(result, twoSpaces, u" "_s);
        }
    } catch (...) {
        showCurrentError(QString());
        return QString();
    }
    return result;
}

int splitStr(QStringList &list, const QString &text, const QString &separator)
{
    list.clear();
    if (text.isEmpty()) {
        list = QStringList{QString(), QString()};
        return 1;
    }

    // "rest" is the text from restStart on; keeping a position instead of copying the rest
    // keeps long lists linear.
    int restStart = 1;
    const int length = int(text.size());
    int n = 0;
    list.append(QString());
    for (;;) {
        ++n;
        if (restStart > length) {
            growTo(list, n);
            list[n] = QString();
            return n;
        }
        const int found = text::find(text, separator, restStart);
        growTo(list, n);
        if (found == 0) {
            list[n] = text::mid(text, restStart);
            return n;
        }
        if (found == restStart) {
            list[n] = QString();
        } else {
            list[n] = text::mid(text, restStart, found - restStart);
        }
        // One character is skipped, whatever the separator's length.
        restStart = found + 1;
    }
}

QString spliceCondition(const QString &statement, const QString &condition)
{
    QString head = statement;
    QString tail;
    const int orderBy = text::find(statement, u" order by "_s);
    if (orderBy > 0) {
        tail = text::mid(statement, orderBy);
        head = text::trim(text::left(statement, orderBy - 1));
    }
    if (condition.isEmpty()) {
        return head + tail;
    }
    const QString join = text::find(head, u" where "_s) > 0 ? u" and "_s : u" where "_s;
    return head + join + condition + tail;
}

QString probeSql(const QString &statement)
{
    return spliceCondition(statement, u"1=0 "_s);
}

QString testSql(ado::Connection &connection, const QString &statement)
{
    if (text::trim(statement).isEmpty()) {
        return QString();
    }
    try {
        const QString probe = probeSql(statement);
        ado::Recordset recordset;
        recordset.Open(probe, connection);
        recordset.Close();
    } catch (const RuntimeError &error) {
        return error.description();
    } catch (const std::exception &error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
        return u"Internal error"_s;
    }
    return QString();
}

} // namespace condora
