#pragma once

// Quarn's kit for testing Quarn applications headless, with any test
// framework: a private X server (Server), realistic input (Input), a bounded
// pump (pump_until), and captures compared with golden PNG files (capture,
// compare). Link Quarn::testing (CMake) or quarn-testing (pkg-config).

#include "quarn/testing/gamepad.h"
#include "quarn/testing/image.h"
#include "quarn/testing/input.h"
#include "quarn/testing/pump.h"
#include "quarn/testing/server.h"
