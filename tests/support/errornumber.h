#pragma once

#include "platform/runtimeerror.h"

#include <QString>

#include <functional>

namespace condora::test {

/// The number of the RuntimeError `operation` throws (its description in `description`), or 0
/// when it throws none.
inline int errorNumber(const std::function<void()> &operation, QString *description = nullptr)
{
    try {
        operation();
    } catch (const RuntimeError &error) {
        if (description) {
            *description = error.description();
        }
        return error.number();
    }
    return 0;
}

} // namespace condora::test
