// The date from which the registry list, not the built-in table, gives the
// era: scanned once per load by the first g or G and kept. Tests forget it
// (tests/support/era_boundary_hook.h) to make the next g or G scan a registry
// list anew. CurrentEraBoundary is static inline, so that the 32-bit mingw
// linker sees no copy shared between the module's library and a test (see
// TextEqual).
#pragma once

#include <stdint.h>

// The boundary before the scan, and after a scan that found no later era.
constexpr uint32_t ERA_BOUNDARY_UNSCANNED = 0;
constexpr uint32_t ERA_BOUNDARY_NONE = 0xFFFFFFFFu;

// A date key (year * 10000 + month * 100 + day) or one of the two values
// above. Read and stored in one step each, so that concurrent first calls
// see either ERA_BOUNDARY_UNSCANNED or the finished value.
extern uint32_t EraBoundary;

// The boundary as it stands.
static inline uint32_t CurrentEraBoundary() {
    return __atomic_load_n(&EraBoundary, __ATOMIC_ACQUIRE);
}
