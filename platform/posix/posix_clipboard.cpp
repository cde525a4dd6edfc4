// POSIX backend, clipboard: the UTF-8 text of the file named by
// MURLIN_CLIPBOARD (no variable or no file: no text). GetClipboardData turns
// it into a UTF-16 block that stays valid until CloseClipboard. As on
// Windows, one thread at a time has the clipboard open: OpenClipboard fails
// while another thread holds it, and only the holder reads or closes it.
#include "platform/posix/posix_file_bytes.h"
#include "platform/win32_emulation/codepage.h"
#include "platform/platform.h"

#include <pthread.h>
#include <stdint.h>
#include <stdlib.h>

namespace {

// Guards the four below.
pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
bool g_open = false;
pthread_t g_holder;         // the thread that has it open, while g_open
char16_t* g_text = nullptr; // the block handed out since the clipboard opened
size_t g_textBytes = 0;     // its size, the NUL included

// True when the calling thread has the clipboard open; g_lock is held.
bool HeldHere() {
    return g_open && pthread_equal(g_holder, pthread_self());
}

struct Locked {
    Locked() { pthread_mutex_lock(&g_lock); }
    ~Locked() { pthread_mutex_unlock(&g_lock); }
};

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
    Locked locked;
    if (g_open && !HeldHere()) return 0;
    g_open = true;
    g_holder = pthread_self();
    return 1;
}

HANDLE GetClipboardData(uint32_t format) {
    Locked locked;
    if (!HeldHere() || format != CF_UNICODETEXT) return nullptr;
    if (g_text == nullptr) g_text = LoadClipboardText();
    return g_text;
}

BOOL CloseClipboard() {
    Locked locked;
    if (!HeldHere()) return 0;
    g_open = false;
    free(g_text);
    g_text = nullptr;
    return 1;
}

void* GlobalLock(HGLOBAL memory) {
    Locked locked;
    return memory != nullptr && memory == g_text ? memory : nullptr;
}

BOOL GlobalUnlock(HGLOBAL memory) {
    Locked locked;
    return memory != nullptr && memory == g_text ? 1 : 0;
}

uintptr_t GlobalSize(HGLOBAL memory) {
    Locked locked;
    return memory != nullptr && memory == g_text ? g_textBytes : 0;
}

} // namespace os
