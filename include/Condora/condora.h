#pragma once

// The Condora control: #include <Condora/condora.h>. Brings its rows as a model
// (condora::QueryModel), the data-access classes (condora::ado::Connection,
// condora::ado::Recordset) and the version macros with it.

#include "control/condora.h"

#include <Condora/condora_version.h>
