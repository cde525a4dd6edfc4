// POSIX backend, clipboard: the UTF-8 text of the file named by
// MURLIN_CLIPBOARD (no variable or no file: no text). GetClipboardData turns
// it into a UTF-16 block that stays valid until CloseClipboard.
#include "platform/posix/posix_file_bytes.h"
#include "platform/win32_emulation/codepage.h"
#include "platform/platform.h"

#include <stdint.h>
#include <stdlib.h>

namespace {

bool g_open = false;
char16_t* g_text = nullptr; // the block handed out since the clipboard opened
size_t g_textBytes = 0;     // its size, the NUL included

char16_t* LoadClipboardText() {
    const char* name = getenv("MURLIN_CLIPBOARD");
    if (name == nullptr) return nullptr;
    size_t size = 0;
    char* bytes = ReadFileBytes(name, SIZE_MAX, &size);
    if (bytes == nullptr) return nullptr;
    // A byte order mark is not part of the text.
    size_t skipped = ByteOrderMarkLength(bytes, size);
    const char* start = bytes + skipped;
    auto count = static_cast<int32_t>(size - skipped);
    int32_t units = count > 0 ? DecodeBytes(os::CP_UTF8, start, count, nullptr, 0) : 0;
    auto* text =
        static_cast<char16_t*>(malloc((static_cast<size_t>(units) + 1) * sizeof(char16_t)));
    if (text != nullptr) {
        if (units > 0) DecodeBytes(os::CP_UTF8, start, count, text, units);
        text[units] = 0;
        g_textBytes = (static_cast<size_t>(units) + 1) * sizeof(char16_t);
    }
    free(bytes);
    return text;
}

} // namespace

namespace os {

BOOL OpenClipboard(HWND) {
    g_open = true;
    return 1;
}

HANDLE GetClipboardData(uint32_t format) {
    if (!g_open || format != CF_UNICODETEXT) return nullptr;
    if (g_text == nullptr) g_text = LoadClipboardText();
    return g_text;
}

BOOL CloseClipboard() {
    if (!g_open) return 0;
    g_open = false;
    free(g_text);
    g_text = nullptr;
    return 1;
}

void* GlobalLock(HGLOBAL memory) {
    return memory != nullptr && memory == g_text ? memory : nullptr;
}

BOOL GlobalUnlock(HGLOBAL memory) {
    return memory != nullptr && memory == g_text ? 1 : 0;
}

uintptr_t GlobalSize(HGLOBAL memory) {
    return memory != nullptr && memory == g_text ? g_textBytes : 0;
}

} // namespace os
