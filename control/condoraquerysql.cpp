// Condora::getQuerySql: a query run for hosts that want a statement and no control on a window.

#include "control/condora.h"

#include "control/errorvalue_p.h"

namespace {

// The control of a run without a control on any window: hidden, on the host's database.
void prepareHiddenControl(Condora &control, const QSqlDatabase &database, const QString &baseSql)
{
    // Hidden explicitly, so that showing the parent later does not show it either.
    control.hide();
    control.setConnObj(condora::ado::Connection::fromDatabase(database));
    control.setSqlInput(baseSql);
}

template<typename Result, typename Call>
Result runWithoutThrowing(Call call, bool *ok, QSqlError *error)
{
    if (ok) {
        *ok = false;
    }
    if (error) {
        *error = QSqlError();
    }
    Result result;
    try {
        result = call();
    } catch (...) {
        if (error) {
            *error = condora::currentErrorAsSqlError();
        }
        return Result();
    }
    if (ok) {
        *ok = !result.isEmpty();
    }
    return result;
}

} // namespace

QString Condora::getQuerySql(QWidget *parent, const QSqlDatabase &database, const QString &baseSql, bool *ok,
                             QSqlError *error)
{
    return runWithoutThrowing<QString>([&] { return getQuerySql(parent, database, baseSql); }, ok, error);
}

QVariantMap Condora::getQueryParameters(QWidget *parent, const QSqlDatabase &database, const QString &baseSql,
                                        bool *ok, QSqlError *error)
{
    return runWithoutThrowing<QVariantMap>(
        [&] {
            Condora control(parent);
            prepareHiddenControl(control, database, baseSql);
            return control.GetQueryParameters();
        },
        ok, error);
}

QString Condora::getConditionRows(QWidget *parent, const QSqlDatabase &database, const QString &baseSql,
                                  const QString &rows, bool *ok, QSqlError *error)
{
    return runWithoutThrowing<QString>(
        [&] {
            Condora control(parent);
            prepareHiddenControl(control, database, baseSql);
            control.SetConditionRows(rows);
            return control.GetQuerySql().isEmpty() ? QString() : control.GetConditionRows();
        },
        ok, error);
}

QString Condora::getQuerySql(QWidget *parent, const QSqlDatabase &database, const QString &baseSql, bool *ok)
{
    if (ok) {
        *ok = false;
    }
    Condora control(parent);
    prepareHiddenControl(control, database, baseSql);
    const QString sql = control.GetQuerySql();
    if (ok) {
        *ok = !sql.isEmpty();
    }
    return sql;
}
