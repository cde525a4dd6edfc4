// What only the tests do to the era boundary: forget it, so that the next g
// or G scans a registry list anew. Kept out of the module's headers, so that
// no build of the module carries it.
#pragma once

#include "datetime/era_boundary.h"

// Back to ERA_BOUNDARY_UNSCANNED.
inline void ForgetEraBoundary() {
    __atomic_store_n(&EraBoundary, ERA_BOUNDARY_UNSCANNED, __ATOMIC_RELEASE);
}
