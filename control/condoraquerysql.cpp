// Condora::getQuerySql: a query run for hosts that want a statement and no control on a window.

#include "control/condora.h"

#include "platform/userinteraction.h"

namespace {

// A control's constructor sets the caption of message boxes without one of their own; a run
// through getQuerySql leaves the caption the host's own controls set as it was.
class DefaultCaptionKeeper
{
public:
    DefaultCaptionKeeper()
        : m_caption(condora::UserInteraction::defaultCaption())
    {
    }
    ~DefaultCaptionKeeper() { condora::UserInteraction::setDefaultCaption(m_caption); }
    DefaultCaptionKeeper(const DefaultCaptionKeeper &) = delete;
    DefaultCaptionKeeper &operator=(const DefaultCaptionKeeper &) = delete;

private:
    QString m_caption;
};

} // namespace

QString Condora::getQuerySql(QWidget *parent, const QSqlDatabase &database, const QString &baseSql, bool *ok)
{
    if (ok) {
        *ok = false;
    }
    const DefaultCaptionKeeper caption;
    Condora control(parent);
    // Hidden explicitly, so that showing the parent later does not show it either.
    control.hide();
    control.setConnObj(condora::ado::Connection::fromDatabase(database));
    control.setSqlInput(baseSql);
    const QString sql = control.GetQuerySql();
    if (ok) {
        *ok = !sql.isEmpty();
    }
    return sql;
}
