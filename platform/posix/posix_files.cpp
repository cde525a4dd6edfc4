// POSIX backend, files and times. Not built yet: no file is found.
#include "platform/platform.h"

#include <string.h>

namespace os {
HANDLE CreateFileW(const char16_t*, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) { return InvalidHandle(); }
BOOL GetFileInformationByHandle(HANDLE, BY_HANDLE_FILE_INFORMATION*) { return 0; }
BOOL CloseHandle(HANDLE) { return 0; }
HANDLE FindFirstFileW(const char16_t*, WIN32_FIND_DATAW*) { return InvalidHandle(); }
BOOL FindClose(HANDLE) { return 0; }
BOOL FileTimeToLocalFileTime(const FILETIME*, FILETIME*) { return 0; }
BOOL FileTimeToSystemTime(const FILETIME*, SYSTEMTIME*) { return 0; }
void GetLocalTime(SYSTEMTIME* now) { memset(now, 0, sizeof *now); }
} // namespace os
