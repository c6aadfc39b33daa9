#pragma once

#include "platform/runtimeerror.h"

#include <QList>
#include <QString>

namespace condora::detail {

/// Position `i` of a 1-based list, or a "subscript out of range" run-time error, the way the
/// analysis addresses catalog entries and table items that may not exist.
template<typename List>
auto &at(List &list, int i)
{
    if (i < 0 || i >= list.size()) {
        throw RuntimeError::subscriptOutOfRange(
            QStringLiteral("position %1 of a list with positions 0..%2").arg(i).arg(list.size() - 1));
    }
    return list[i];
}

} // namespace condora::detail
