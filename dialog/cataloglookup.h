#pragma once

#include "platform/runtimeerror.h"

#include <QList>
#include <QString>
#include <QVariant>

namespace condora {

namespace ado {
class Connection;
}

// The picker's look-ups in the database's catalog (an index, statistics, a table's size), which
// choose how a list is read: a look-up that fails chooses the plain way.

/// `text` as an SQL string literal (quotes doubled), for a name compared in the catalog.
QString catalogLiteral(const QString &text);

/// The first row of `sql`, or an empty list when it has none.
QList<QVariant> firstRow(ado::Connection &connection, const QString &sql);

/// True when `sql` yields a row.
bool hasRow(ado::Connection &connection, const QString &sql);

/// What `lookup` answers, or `fallback` when it fails; a stopped statement (Cancel) still
/// throws, so that the list it was for stops too.
template <typename T, typename Lookup>
T lookupOr(T fallback, Lookup &&lookup)
{
    try {
        return lookup();
    } catch (const RuntimeError &error) {
        if (error.number() == ErrorNumber::Cancelled) {
            throw;
        }
    }
    return fallback;
}

} // namespace condora
