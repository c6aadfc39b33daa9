#include "control/recentconditions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace condora {

namespace {

QJsonArray entriesOf(const QString &list)
{
    return QJsonDocument::fromJson(list.toUtf8()).array();
}

} // namespace

QStringList recentConditionsOf(const QString &list, const QString &baseSql)
{
    QStringList conditions;
    for (const QJsonValue &entry : entriesOf(list)) {
        if (entry.toObject().value(u"sql"_s).toString() != baseSql) {
            continue;
        }
        for (const QJsonValue &condition : entry.toObject().value(u"conditions"_s).toArray()) {
            if (condition.isString()) {
                conditions.append(condition.toString());
            }
        }
        break;
    }
    return conditions;
}

QString rememberCondition(const QString &list, const QString &baseSql, const QString &rows)
{
    QStringList conditions = recentConditionsOf(list, baseSql);
    conditions.removeAll(rows);
    conditions.prepend(rows);
    QJsonArray entries{QJsonObject{{u"sql"_s, baseSql},
                                   {u"conditions"_s, QJsonArray::fromStringList(conditions.mid(0, RecentConditionCount))}}};
    for (const QJsonValue &entry : entriesOf(list)) {
        if (entries.size() >= RecentStatementCount) {
            break;
        }
        if (entry.isObject() && entry.toObject().value(u"sql"_s).toString() != baseSql) {
            entries.append(entry);
        }
    }
    return QString::fromUtf8(QJsonDocument(entries).toJson(QJsonDocument::Compact));
}

} // namespace condora
