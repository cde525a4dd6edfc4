// POSIX backend, registry. Not built yet: no key opens.
#include "platform/platform.h"

namespace os {
LONG RegOpenKeyExW(HKEY, const char16_t*, DWORD, DWORD, HKEY*) { return ERROR_FILE_NOT_FOUND; }
LONG RegEnumValueW(HKEY, DWORD, char16_t*, DWORD*, DWORD*, DWORD*, uint8_t*, DWORD*) { return ERROR_NO_MORE_ITEMS; }
LONG RegCloseKey(HKEY) { return 0; }
} // namespace os
