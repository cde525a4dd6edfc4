// POSIX backend, clipboard: the UTF-8 text of the file named by
// MURLIN_CLIPBOARD (no variable or no file: no text). GetClipboardData turns
// it into a UTF-16 block that stays valid until CloseClipboard.
#include "platform/win32_emulation/codepage.h"
#include "platform/platform.h"

#include <stdio.h>
#include <stdlib.h>

namespace {

bool g_open = false;
char16_t* g_text = nullptr; // the block handed out since the clipboard opened

// Reads the whole file; the caller frees the bytes.
char* ReadWholeFile(const char* name, long* size) {
    FILE* file = fopen(name, "rb");
    if (file == nullptr) return nullptr;
    char* bytes = nullptr;
    long n = -1;
    if (fseek(file, 0, SEEK_END) == 0 && (n = ftell(file)) >= 0 && fseek(file, 0, SEEK_SET) == 0)
        bytes = static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
    if (bytes != nullptr &&
        fread(bytes, 1, static_cast<size_t>(n), file) != static_cast<size_t>(n)) {
        free(bytes);
        bytes = nullptr;
    }
    fclose(file);
    *size = n;
    return bytes;
}

char16_t* LoadClipboardText() {
    const char* name = getenv("MURLIN_CLIPBOARD");
    if (name == nullptr) return nullptr;
    long size = 0;
    char* bytes = ReadWholeFile(name, &size);
    if (bytes == nullptr) return nullptr;
    const char* start = bytes;
    if (size >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
        static_cast<unsigned char>(bytes[1]) == 0xBB &&
        static_cast<unsigned char>(bytes[2]) == 0xBF) {
        start += 3; // a byte order mark is not part of the text
        size -= 3;
    }
    int32_t units =
        size > 0 ? DecodeBytes(os::CP_UTF8, start, static_cast<int32_t>(size), nullptr, 0) : 0;
    auto* text =
        static_cast<char16_t*>(malloc((static_cast<size_t>(units) + 1) * sizeof(char16_t)));
    if (text != nullptr) {
        if (units > 0) DecodeBytes(os::CP_UTF8, start, static_cast<int32_t>(size), text, units);
        text[units] = 0;
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

} // namespace os
