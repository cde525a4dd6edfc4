// POSIX backend: every handle the stand-ins give out points at a record of
// their own that begins with a tag naming its kind, so that one check tells
// a handle of ours from the invalid handle, null, a small number or a record
// of another kind. A record's tag is cleared when its handle is closed.
#pragma once

#include "platform/platform.h"

#include <stdint.h>

// The record behind a handle of ours of that kind, or null for any other.
// Record must begin with a uint32_t tag.
template <typename Record> Record* Own(os::HANDLE handle, uint32_t tag) {
    if (handle == os::InvalidHandle() || reinterpret_cast<uintptr_t>(handle) < 0x10000)
        return nullptr;
    auto* record = static_cast<Record*>(handle);
    return record->tag == tag ? record : nullptr;
}
