// Windows backend: each operation is the Win32 call of the same name, nothing
// more. It may assume a Windows (or Wine) process with KERNEL32, USER32 and
// ADVAPI32 loaded, wchar_t of 16 bits, and no C runtime.
#include "platform/platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdarg.h>

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t");
static_assert(sizeof(::DWORD) == sizeof(os::DWORD), "DWORD");
static_assert(sizeof(::SYSTEMTIME) == sizeof(os::SYSTEMTIME), "SYSTEMTIME");
static_assert(sizeof(::FILETIME) == sizeof(os::FILETIME), "FILETIME");
static_assert(sizeof(::BY_HANDLE_FILE_INFORMATION) == sizeof(os::BY_HANDLE_FILE_INFORMATION),
              "BY_HANDLE_FILE_INFORMATION");
static_assert(sizeof(::WIN32_FIND_DATAW) == sizeof(os::WIN32_FIND_DATAW), "WIN32_FIND_DATAW");
static_assert(sizeof(::OSVERSIONINFOW) == sizeof(os::OSVERSIONINFOW), "OSVERSIONINFOW");

inline LPCWSTR W(const char16_t* s) {
    return reinterpret_cast<LPCWSTR>(s);
}
inline LPWSTR W(char16_t* s) {
    return reinterpret_cast<LPWSTR>(s);
}
inline ::DWORD* D(os::DWORD* p) {
    return reinterpret_cast<::DWORD*>(p);
}

constexpr int32_t WSPRINTF_LIMIT = 1023;
constexpr int32_t WSPRINTF_ROOM = 1040;

} // namespace

namespace os {

HANDLE GetProcessHeap() {
    return ::GetProcessHeap();
}
void* HeapAlloc(HANDLE heap, DWORD flags, uintptr_t bytes) {
    return ::HeapAlloc(heap, flags, bytes);
}
void* HeapReAlloc(HANDLE heap, DWORD flags, void* block, uintptr_t bytes) {
    return ::HeapReAlloc(heap, flags, block, bytes);
}
BOOL HeapFree(HANDLE heap, DWORD flags, void* block) {
    return ::HeapFree(heap, flags, block);
}

int32_t MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, uint32_t type) {
    return ::MessageBoxW(static_cast<::HWND>(owner), W(text), W(caption), type);
}

int32_t wsprintfW(char16_t* buffer, const char16_t* format, ...) {
    // wvsprintfW's own bound differs between Windows versions and Wine (some
    // write 1024 units and a NUL), so format into room of our own and hand
    // back at most 1023 units and a NUL.
    WCHAR room[WSPRINTF_ROOM];
    va_list args;
    va_start(args, format);
    int32_t written = ::wvsprintfW(room, W(format), args);
    va_end(args);
    if (written < 0) written = 0;
    if (written > WSPRINTF_LIMIT) written = WSPRINTF_LIMIT;
    for (int32_t i = 0; i < written; ++i)
        buffer[i] = static_cast<char16_t>(room[i]);
    buffer[written] = 0;
    return written;
}

DWORD GetLastError() {
    return ::GetLastError();
}
BOOL SetThreadErrorMode(DWORD newMode, DWORD* oldMode) {
    return ::SetThreadErrorMode(newMode, D(oldMode));
}

HANDLE GetStdHandle(DWORD id) {
    return ::GetStdHandle(id);
}
DWORD GetFileType(HANDLE file) {
    return ::GetFileType(file);
}
BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void* overlapped) {
    return ::ReadFile(file, buffer, bytesToRead, D(bytesRead),
                      static_cast<LPOVERLAPPED>(overlapped));
}
BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
               void* overlapped) {
    return ::WriteFile(file, buffer, bytesToWrite, D(bytesWritten),
                       static_cast<LPOVERLAPPED>(overlapped));
}
BOOL PeekNamedPipe(HANDLE pipe, void* buffer, DWORD bufferSize, DWORD* bytesRead,
                   DWORD* totalBytesAvail, DWORD* bytesLeftThisMessage) {
    return ::PeekNamedPipe(pipe, buffer, bufferSize, D(bytesRead), D(totalBytesAvail),
                           D(bytesLeftThisMessage));
}
void Sleep(DWORD milliseconds) {
    ::Sleep(milliseconds);
}

int32_t MultiByteToWideChar(uint32_t codePage, DWORD flags, const char* bytes, int32_t byteCount,
                            char16_t* wide, int32_t wideCount) {
    return ::MultiByteToWideChar(codePage, flags, bytes, byteCount, W(wide), wideCount);
}
int32_t WideCharToMultiByte(uint32_t codePage, DWORD flags, const char16_t* wide, int32_t wideCount,
                            char* bytes, int32_t byteCount, const char* defaultChar,
                            BOOL* usedDefaultChar) {
    return ::WideCharToMultiByte(codePage, flags, W(wide), wideCount, bytes, byteCount, defaultChar,
                                 reinterpret_cast<::BOOL*>(usedDefaultChar));
}
BOOL IsDBCSLeadByteEx(uint32_t codePage, uint8_t testChar) {
    return ::IsDBCSLeadByteEx(codePage, testChar);
}
uint32_t GetACP() {
    return ::GetACP();
}

HANDLE CreateFileW(const char16_t* name, DWORD access, DWORD shareMode, void* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
    return ::CreateFileW(W(name), access, shareMode, static_cast<LPSECURITY_ATTRIBUTES>(security),
                         disposition, flags, templateFile);
}
BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    return ::GetFileInformationByHandle(file,
                                        reinterpret_cast<::BY_HANDLE_FILE_INFORMATION*>(info));
}
BOOL CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}
HANDLE FindFirstFileW(const char16_t* name, WIN32_FIND_DATAW* data) {
    return ::FindFirstFileW(W(name), reinterpret_cast<::WIN32_FIND_DATAW*>(data));
}
BOOL FindClose(HANDLE search) {
    return ::FindClose(search);
}
BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
    return ::FileTimeToLocalFileTime(reinterpret_cast<const ::FILETIME*>(utc),
                                     reinterpret_cast<::FILETIME*>(local));
}
BOOL FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* split) {
    return ::FileTimeToSystemTime(reinterpret_cast<const ::FILETIME*>(time),
                                  reinterpret_cast<::SYSTEMTIME*>(split));
}
void GetLocalTime(SYSTEMTIME* now) {
    ::GetLocalTime(reinterpret_cast<::SYSTEMTIME*>(now));
}

DWORD GetLogicalDrives() {
    return ::GetLogicalDrives();
}
DWORD GetFileAttributesW(const char16_t* path) {
    return ::GetFileAttributesW(W(path));
}
BOOL GetVolumeInformationW(const char16_t* root, char16_t* label, DWORD labelSize, DWORD* serial,
                           DWORD* maxComponentLength, DWORD* fileSystemFlags,
                           char16_t* fileSystemName, DWORD fileSystemNameSize) {
    return ::GetVolumeInformationW(W(root), W(label), labelSize, D(serial), D(maxComponentLength),
                                   D(fileSystemFlags), W(fileSystemName), fileSystemNameSize);
}

BOOL OpenClipboard(HWND owner) {
    return ::OpenClipboard(static_cast<::HWND>(owner));
}
HANDLE GetClipboardData(uint32_t format) {
    return ::GetClipboardData(format);
}
BOOL CloseClipboard() {
    return ::CloseClipboard();
}
void* GlobalLock(HGLOBAL memory) {
    return ::GlobalLock(memory);
}
BOOL GlobalUnlock(HGLOBAL memory) {
    return ::GlobalUnlock(memory);
}
uintptr_t GlobalSize(HGLOBAL memory) {
    return ::GlobalSize(memory);
}

BOOL GetVersionExW(OSVERSIONINFOW* info) {
    return ::GetVersionExW(reinterpret_cast<::OSVERSIONINFOW*>(info));
}

LONG RegOpenKeyExW(HKEY root, const char16_t* subKey, DWORD options, DWORD access, HKEY* key) {
    return ::RegOpenKeyExW(static_cast<::HKEY>(root), W(subKey), options, access,
                           reinterpret_cast<::HKEY*>(key));
}
LONG RegEnumValueW(HKEY key, DWORD index, char16_t* name, DWORD* nameCount, DWORD* reserved,
                   DWORD* type, uint8_t* data, DWORD* dataSize) {
    return ::RegEnumValueW(static_cast<::HKEY>(key), index, W(name), D(nameCount), D(reserved),
                           D(type), data, D(dataSize));
}
LONG RegCloseKey(HKEY key) {
    return ::RegCloseKey(static_cast<::HKEY>(key));
}

} // namespace os
