#include "analysis/hostfilters.h"

namespace condora {

QStringList &hostFilterList()
{
    static QStringList filters;
    return filters;
}

} // namespace condora
