// POSIX backend, the operating system's version. Not built yet.
#include "platform/platform.h"

namespace os {
BOOL GetVersionExW(OSVERSIONINFOW*) { return 0; }
} // namespace os
