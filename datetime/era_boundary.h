// The date from which the registry list, not the built-in table, gives the
// era: scanned once per load by the first g or G and kept. Tests read it, and
// forget it to make the next g or G scan a registry list anew.
#pragma once

#include <stdint.h>

// The boundary before the scan, and after a scan that found no later era.
constexpr uint32_t ERA_BOUNDARY_UNSCANNED = 0;
constexpr uint32_t ERA_BOUNDARY_NONE = 0xFFFFFFFFu;

// The boundary as it stands: a date key (year * 10000 + month * 100 + day)
// or one of the two values above.
uint32_t CurrentEraBoundary();

// Back to ERA_BOUNDARY_UNSCANNED.
void ForgetEraBoundary();
