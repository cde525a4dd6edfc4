// POSIX backend, clipboard. Not built yet: it never opens.
#include "platform/platform.h"

namespace os {
BOOL OpenClipboard(HWND) { return 0; }
HANDLE GetClipboardData(uint32_t) { return nullptr; }
BOOL CloseClipboard() { return 0; }
void* GlobalLock(HGLOBAL) { return nullptr; }
BOOL GlobalUnlock(HGLOBAL) { return 0; }
} // namespace os
