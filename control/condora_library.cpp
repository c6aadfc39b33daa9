#include "condora_export.h"

#include <Condora/condora_version.h>

#define CONDORA_TEXT(x) CONDORA_TEXT_(x)
#define CONDORA_TEXT_(x) #x

// The library's version, for hosts that want to report it ("major.minor.patch", as
// CONDORA_VERSION_STRING of the headers it was built with).
extern "C" CONDORA_EXPORT const char *condoraVersion()
{
    return CONDORA_TEXT(CONDORA_VERSION_MAJOR) "." CONDORA_TEXT(CONDORA_VERSION_MINOR) "." CONDORA_TEXT(
        CONDORA_VERSION_PATCH);
}
