#include "condora_export.h"

// The library's version, for hosts that want to report it.
extern "C" CONDORA_EXPORT const char *condoraVersion()
{
    return "3.0";
}
