#pragma once

// Saving and loading the control's properties: condora::PropertyBag and its QSettings
// implementation.

#include "control/propertybag.h"
