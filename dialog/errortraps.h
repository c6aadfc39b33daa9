#pragma once

#include "analysis/errorreport.h"
#include "platform/runtimeerror.h"

#include <QString>

#include <exception>
#include <utility>

/// The two ways the dialogs deal with run-time errors: a routine that traps them reports the
/// first one through the shared error report and returns; a routine that ignores them skips
/// the failing statement and goes on with the next. Either way nothing escapes into Qt's
/// event loop.
namespace condora::errortraps {

/// Runs `step`; a failure is reported through showError (empty context) unless `moot()` says,
/// when it arrives, that the work it belongs to is outdated. True when it ran without error.
template<typename Moot, typename Step>
bool reportErrorsUnless(Moot &&moot, Step &&step)
{
    try {
        step();
        return true;
    } catch (const RuntimeError &error) {
        if (!moot()) {
            showError(QString(), error);
        }
    } catch (const std::exception &error) {
        if (!moot()) {
            showError(QString(), 0, QString::fromLocal8Bit(error.what()));
        }
    }
    return false;
}

/// Runs `step`; a failure is reported through showError (empty context). True when it ran
/// without error.
template<typename Step>
bool reportErrors(Step &&step)
{
    return reportErrorsUnless([] { return false; }, std::forward<Step>(step));
}

/// Runs `step`; a failure is dropped. True when it ran without error.
template<typename Step>
bool ignoreErrors(Step &&step) noexcept
{
    try {
        step();
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace condora::errortraps
