// POSIX backend, standard streams. Not built yet: nothing can be read or written.
#include "platform/platform.h"

namespace os {
HANDLE GetStdHandle(DWORD) { return InvalidHandle(); }
BOOL ReadFile(HANDLE, void*, DWORD, DWORD* bytesRead, void*) {
    if (bytesRead) *bytesRead = 0;
    return 0;
}
BOOL WriteFile(HANDLE, const void*, DWORD, DWORD* bytesWritten, void*) {
    if (bytesWritten) *bytesWritten = 0;
    return 0;
}
BOOL PeekNamedPipe(HANDLE, void*, DWORD, DWORD*, DWORD*, DWORD*) { return 0; }
} // namespace os
