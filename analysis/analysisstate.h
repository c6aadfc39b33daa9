#pragma once

#include "condora_export.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace condora {

namespace ado {
class Connection;
class Recordset;
} // namespace ado

/// One result column of the base statement. Every field is text except valueList.
struct CONDORA_EXPORT ColumnInfo
{
    QString colExpr;      ///< the column as written in the select list, without qualifier and alias
    QString colName;      ///< the result column's name as the database reports it, trimmed
    QString tabName;      ///< the table the column belongs to (empty when unbound)
    QString tabAlias;     ///< the written qualifier, or the alias of the table found by the binding
    QString typeCode;     ///< the data type number as decimal text
    QString typeClass;    ///< "number", "boolean", "date", "string", "lstring" or "other"
    QString filterClause; ///< " where <condition>" for the host's filter, or empty
    QString usable;       ///< "0" when the column cannot be used in a condition, else empty
    QStringList valueList;

    bool operator==(const ColumnInfo &) const = default;
};

/// One table of the from clause.
struct CONDORA_EXPORT TableRef
{
    QString tabName;  ///< as written, brackets kept
    QString tabAlias; ///< the alias, or the table name when none is written

    bool operator==(const TableRef &) const = default;
};

/// Position 0 exists and stays empty; entries are 1..size()-1.
using FieldCatalog = QList<ColumnInfo>;
using TableList = QList<TableRef>;

/// The library-wide analysis state: one instance shared by every control on the GUI thread,
/// overwritten by each query run.
struct CONDORA_EXPORT AnalysisState
{
    std::shared_ptr<ado::Connection> curConn;
    int savedCursorLocation = 0;
    QString baseSql;
    QString dbKind;
    /// True when the database's string literals treat a backslash as an escape character
    /// (MySQL, MariaDB): composed values then double backslashes as well as apostrophes.
    bool backslashEscapes = false;
    /// True when LIKE reads a backslash in its pattern as its escape character by default
    /// (PostgreSQL, MySQL, MariaDB): an "include" value then has each backslash doubled in its
    /// pattern, so that it matches a backslash; "%" and "_" stay wildcards.
    bool likeBackslashEscapes = false;
    FieldCatalog fieldCatalog;
    /// Position 0 ignored. An empty list means "never given".
    QStringList filterList;
    QString resultSql;
    /// Created on first use by testSql and reused.
    std::unique_ptr<ado::Recordset> testRs;

    AnalysisState();
    ~AnalysisState();
};

/// The one analysis state of the library.
CONDORA_EXPORT AnalysisState &analysisState();
/// Back to the state at library load (for tests).
CONDORA_EXPORT void resetAnalysisState();

/// The connection of the run; when none is set, a new unopened connection is created on first use.
CONDORA_EXPORT ado::Connection &currentConnection();

} // namespace condora
