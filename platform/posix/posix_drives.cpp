// POSIX backend, drives. Not built yet: no drive is present.
#include "platform/platform.h"

namespace os {
DWORD GetLogicalDrives() { return 0; }
DWORD GetFileAttributesW(const char16_t*) { return INVALID_FILE_ATTRIBUTES; }
BOOL GetVolumeInformationW(const char16_t*, char16_t*, DWORD, DWORD*, DWORD*, DWORD*, char16_t*, DWORD) { return 0; }
} // namespace os
