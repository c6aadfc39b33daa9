#include "platform/ado/databasemessage.h"

#include <QRegularExpression>
#include <QStringList>

namespace condora::ado {

namespace {

// "[unixODBC][Driver Manager]Data source name not found" -> "Data source name not found"
QString withoutBracketTags(QString text)
{
    for (;;) {
        text = text.trimmed();
        if (!text.startsWith(u'[')) {
            return text;
        }
        const qsizetype close = text.indexOf(u']');
        if (close < 0) {
            return text;
        }
        text.remove(0, close + 1);
    }
}

QString withoutSeverity(const QString &line)
{
    static const QLatin1String severities[] = {QLatin1String("ERROR:"), QLatin1String("FATAL:"),
                                               QLatin1String("PANIC:")};
    for (const QLatin1String &severity : severities) {
        if (line.startsWith(severity)) {
            return line.mid(severity.size()).trimmed();
        }
    }
    return line;
}

} // namespace

QString databaseMessage(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    // When the driver itself refuses a statement (Qt's SQLite driver with a second statement
    // after the first), the database has nothing to say and SQLite's text for that is
    // "not an error": the driver's own text is the message then.
    if (text.isEmpty() || text.compare(QLatin1String("not an error"), Qt::CaseInsensitive) == 0) {
        text = error.driverText().trimmed();
    }
    if (text.isEmpty()) {
        return QStringLiteral("Unknown database error");
    }

    // A PostgreSQL server message reads "ERROR:  <message>\nLINE 1: ...\n   ^": keep the
    // message. Connection failures ("connection to server ... failed: ...\n\tIs the server
    // running ...?") keep every line, joined into one.
    QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    for (QString &line : lines) {
        line = line.trimmed();
    }
    lines.removeAll(QString());
    QStringList kept;
    for (const QString &line : std::as_const(lines)) {
        if (line.startsWith(QLatin1String("LINE ")) || line == QLatin1String("^")
            || line.startsWith(QLatin1String("HINT:")) || line.startsWith(QLatin1String("DETAIL:"))
            || line.startsWith(QLatin1String("QUERY:")) || line.startsWith(QLatin1String("CONTEXT:"))) {
            break;
        }
        kept.append(line);
    }
    if (kept.isEmpty()) {
        kept = lines;
    }

    QString message = withoutSeverity(withoutBracketTags(kept.join(u' ')));
    // psqlODBC appends ";\nError while executing the query" to the server's message.
    const qsizetype tail = message.indexOf(QLatin1String(";Error while executing the query"));
    if (tail > 0) {
        message.truncate(tail);
    } else if (message.endsWith(QLatin1String("; Error while executing the query"))) {
        message.chop(int(qstrlen("; Error while executing the query")));
    }
    // Error codes the drivers append: Qt's "(42703)" SQLSTATE, the SQLite ODBC driver's " (1)".
    static const QRegularExpression code(QStringLiteral("\\s*\\((\\d+|[0-9A-Z]{5})\\)$"));
    message.remove(code);
    return message.isEmpty() ? text : message;
}

} // namespace condora::ado
