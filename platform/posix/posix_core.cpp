// POSIX backend, core: the heap on malloc, the message box on standard error,
// the formatter and code page conversion of platform/win32_emulation. It may assume a
// POSIX process with the C library; nothing here is Windows.
#include "platform/posix/posix_last_error.h"
#include "platform/win32_emulation/codepage.h"
#include "platform/win32_emulation/wide_format.h"
#include "platform/platform.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

namespace {

// Both are kept per thread, as Windows keeps them.
thread_local os::DWORD t_lastError = 0;
thread_local os::DWORD t_errorMode = 0;

} // namespace

void RecordLastError(os::DWORD code) {
    t_lastError = code;
}

namespace os {

DWORD GetLastError() {
    return t_lastError;
}

// No system box exists here to keep away; the mode is only kept.
BOOL SetThreadErrorMode(DWORD newMode, DWORD* oldMode) {
    if ((newMode & ~(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX)) !=
        0) {
        RecordLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (oldMode != nullptr) *oldMode = t_errorMode;
    t_errorMode = newMode;
    return 1;
}

HANDLE GetProcessHeap() {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(1));
}
void* HeapAlloc(HANDLE, DWORD, uintptr_t bytes) {
    return malloc(bytes == 0 ? 1 : bytes);
}
void* HeapReAlloc(HANDLE, DWORD, void* block, uintptr_t bytes) {
    if (block == nullptr) return nullptr; // as Windows: there is nothing to reallocate
    return realloc(block, bytes == 0 ? 1 : bytes);
}
BOOL HeapFree(HANDLE, DWORD, void* block) {
    free(block);
    return 1;
}

int32_t MessageBoxW(HWND, const char16_t* text, const char16_t* caption, uint32_t) {
    char utf8[8192];
    if (caption != nullptr && Utf16ToUtf8(caption, utf8, sizeof utf8) >= 0)
        fprintf(stderr, "[%s] ", utf8);
    if (Utf16ToUtf8(text, utf8, sizeof utf8) < 0) utf8[0] = 0;
    fprintf(stderr, "%s\n", utf8);
    fflush(stderr);
    return 1; // IDOK
}

int32_t wsprintfW(char16_t* buffer, const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    int32_t written = FormatWideV(buffer, WSPRINTF_CAPACITY, format, args);
    va_end(args);
    return written;
}

void Sleep(DWORD milliseconds) {
    timespec delay{static_cast<time_t>(milliseconds / 1000),
                   static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&delay, &delay) != 0) {
    }
}

int32_t MultiByteToWideChar(uint32_t codePage, DWORD, const char* bytes, int32_t byteCount,
                            char16_t* wide, int32_t wideCount) {
    return DecodeBytes(codePage, bytes, byteCount, wide, wideCount);
}

int32_t WideCharToMultiByte(uint32_t codePage, DWORD flags, const char16_t* wide, int32_t wideCount,
                            char* bytes, int32_t byteCount, const char*, BOOL* usedDefaultChar) {
    constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x400;
    bool usedDefault = false;
    int32_t result = EncodeWide(codePage, wide, wideCount, bytes, byteCount,
                                (flags & WC_NO_BEST_FIT_CHARS) != 0, &usedDefault);
    // UTF-8 has no default character; the flag is left as it was.
    if (usedDefaultChar != nullptr && codePage != CP_UTF8) *usedDefaultChar = usedDefault ? 1 : 0;
    return result;
}

} // namespace os
