// The system's clipboard in the Windows builds, written as another program
// writes it.
#pragma once

#if defined(_WIN32)
#include <windows.h>

#include <cstring>
#include <string>

// Puts the text on the clipboard; false when the system refused.
inline bool PutOnClipboard(const std::u16string& text) {
    if (!::OpenClipboard(nullptr)) return false;
    ::EmptyClipboard();
    size_t bytes = (text.size() + 1) * sizeof(char16_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool ok = memory != nullptr;
    if (ok) {
        std::memcpy(::GlobalLock(memory), text.c_str(), bytes);
        ::GlobalUnlock(memory);
        ok = ::SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        if (!ok) ::GlobalFree(memory);
    }
    ::CloseClipboard();
    return ok;
}
#endif
