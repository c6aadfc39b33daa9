#include "condition/emptyresult.h"

#include "analysis/statementtools.h"
#include "condition/conditioncomposer.h"

namespace condora {

namespace {

/// Calls `visit` with every subset of `items` of `size` elements, in lexicographic order,
/// until it returns true; true when one did.
bool forEachSubset(const QList<int> &items, int size, QList<int> &chosen, int from,
                   const std::function<bool(const QList<int> &)> &visit)
{
    if (chosen.size() == size) {
        return visit(chosen);
    }
    for (int i = from; i < items.size(); ++i) {
        chosen.append(items.at(i));
        if (forEachSubset(items, size, chosen, i + 1, visit)) {
            return true;
        }
        chosen.removeLast();
    }
    return false;
}

template<typename Rows>
std::optional<QList<int>> firstSmallestSet(const Rows &rows, const QueryRun &run, const RowCounter &count,
                                           int largest)
{
    QList<int> used;
    for (int r = 0; r < rows.size(); ++r) {
        if (rows.at(r).isUsed()) {
            used.append(r);
        }
    }
    std::optional<QList<int>> answer;
    for (int size = 1; size <= std::min<qsizetype>(largest, used.size()) && !answer; ++size) {
        QList<int> chosen;
        forEachSubset(used, size, chosen, 0, [&](const QList<int> &subset) {
            if (count(countSql(composeCondition(rows, run, subset).statement)) > 0) {
                answer = subset;
                return true;
            }
            return false;
        });
    }
    return answer;
}

} // namespace

std::optional<QList<int>> rowsRulingOutEveryRow(const ConditionRows &rows, const QueryRun &run,
                                                const RowCounter &count, int largest)
{
    return firstSmallestSet(rows, run, count, largest);
}

std::optional<QList<int>> rowsRulingOutEveryRow(const ConditionTerms &terms, const QueryRun &run,
                                                const RowCounter &count, int largest)
{
    return firstSmallestSet(terms, run, count, largest);
}

} // namespace condora
