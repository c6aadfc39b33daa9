#pragma once

#include "condition/conditionrow.h"
#include "condition/conditionterm.h"

#include <QString>
#include <QStringList>

namespace condora {

/// Condition rows as a JSON document a host can store and hand back, so that a user can
/// reopen a condition and refine it. The document (format version 1):
///
///     {"format": "Condora condition", "version": 1,
///      "rows": [{"open": "(", "column": "name", "operator": "include", "value": "Sm",
///                "close": "", "logical": "Or"}, ...]}
///
/// "column" is the column's name as the Column list shows it, "operator" the operator word
/// without its trailing blank ("=", "<>", "include", "not null", ...), "logical" "And", "Or"
/// or "". Only rows the condition uses (a column and an operator) are written.
QString conditionRowsToJson(const ConditionRows &rows, const FieldCatalog &catalog);

/// The same document for typed rows (the used ones). Throws RuntimeError when a used term's
/// column lies outside `catalog`.
QString conditionRowsToJson(const ConditionTerms &terms, const FieldCatalog &catalog);

/// Condition rows read back from conditionRowsToJson()'s document against the statement's
/// `catalog`.
struct LoadedConditionRows
{
    /// The rows read, typed.
    ConditionTerms terms;
    /// The same rows as the lists write their cells (rowOf()).
    ConditionRows rows;
    /// Columns of rows left out because the statement has no usable column of that name.
    QStringList dropped;
    /// Columns of rows left out because their operator does not suit the column's type (or is
    /// one of the further operators while the run does not offer them).
    QStringList unsuited;
    /// Why nothing could be read (not JSON, another format, a later version); empty otherwise.
    QString error;
};

/// Reads `json`. Never throws: a document that cannot be read gives no rows and an error.
/// The further operators (between, in, ...) are read only with `moreOperators`.
LoadedConditionRows conditionRowsFromJson(const QString &json, const FieldCatalog &catalog,
                                          bool moreOperators = false);

/// Whether `json` is a condition document this version reads (without a catalog to check its
/// columns against): each row an object whose brackets are "(", ")" or empty and pair in order,
/// whose operator is one of the listed words and whose logical word is And, Or or empty. An
/// explanation in `error` otherwise.
bool isConditionJson(const QString &json, QString *error = nullptr);

} // namespace condora
