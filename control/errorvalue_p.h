#pragma once

// The control's calls report errors as the data layer's non-throwing calls do.
#include "platform/ado/errorvalue_p.h"
