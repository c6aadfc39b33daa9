#pragma once

// The user-interaction service through which the control shows its messages; a host installs
// its own implementation to replace the message boxes.

#include "platform/userinteraction.h"
