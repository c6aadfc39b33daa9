#include "control/querydialoghook.h"

namespace condora {

namespace {

QueryDialogFunction &installedFunction()
{
    static QueryDialogFunction function;
    return function;
}

} // namespace

void setQueryDialogFunction(QueryDialogFunction function)
{
    installedFunction() = std::move(function);
}

const QueryDialogFunction &queryDialogFunction()
{
    return installedFunction();
}

} // namespace condora
