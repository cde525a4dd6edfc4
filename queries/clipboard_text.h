// CLIPPEDTEXT's clipboard access, apart so that its retry can be exercised.
#pragma once

#include "platform/platform.h"

// Opens the clipboard for the window: up to 6 attempts, 20 ms apart, since
// another program may hold it for a moment. True when it is open.
bool OpenClipboardRetry(os::HWND window);
