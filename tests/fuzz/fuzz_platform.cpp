#include "tests/fuzz/fuzz_platform.h"

#include "platform/win32_emulation/codepage.h"
#include "platform/win32_emulation/file_time.h"
#include "platform/win32_emulation/wide_format.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

namespace fuzz {

const char* const OP_NAMES[OP_COUNT] = {
    "GetProcessHeap",
    "HeapAlloc",
    "HeapReAlloc",
    "HeapFree",
    "MessageBoxW",
    "wsprintfW",
    "GetStdHandle",
    "ReadFile",
    "WriteFile",
    "PeekNamedPipe",
    "MultiByteToWideChar",
    "WideCharToMultiByte",
    "IsDBCSLeadByteEx",
    "CreateFileW",
    "GetFileInformationByHandle",
    "CloseHandle",
    "FindFirstFileW",
    "FindClose",
    "FileTimeToLocalFileTime",
    "FileTimeToSystemTime",
    "GetLogicalDrives",
    "GetFileAttributesW",
    "GetVolumeInformationW",
    "OpenClipboard",
    "GetClipboardData",
    "CloseClipboard",
    "GlobalLock",
    "GlobalUnlock",
    "GetVersionExW",
    "RegOpenKeyExW",
    "RegEnumValueW",
    "RegCloseKey",
};

World& Now() {
    static World world;
    return world;
}

namespace {

// Counts the call; true when the fault fires on it.
bool Fails(Op op) {
    World& w = Now();
    uint32_t n = ++w.calls[op];
    if (w.faultOp != op) return false;
    return w.faultFromThenOn ? n >= w.faultNth : n == w.faultNth;
}

os::HANDLE Handle(uintptr_t value) {
    return reinterpret_cast<os::HANDLE>(value);
}

constexpr uintptr_t HEAP = 0x4EA9;
constexpr uintptr_t FILE_HANDLE = 0xF11E;
constexpr uintptr_t SEARCH = 0x5EA8;
constexpr uintptr_t KEY = 0x4B45;
constexpr uintptr_t CLIPBOARD_MEMORY = 0xC11B;

} // namespace

} // namespace fuzz

using fuzz::Fails;
using fuzz::Now;

namespace os {

HANDLE GetProcessHeap() {
    if (Fails(fuzz::OP_GET_PROCESS_HEAP)) return nullptr;
    return fuzz::Handle(fuzz::HEAP);
}

namespace {

bool OnProcessHeap(HANDLE heap) {
    if (heap == fuzz::Handle(fuzz::HEAP)) return true;
    ++Now().noHeapCalls;
    return false;
}

} // namespace

void* HeapAlloc(HANDLE heap, DWORD, uintptr_t bytes) {
    if (Fails(fuzz::OP_HEAP_ALLOC) || !OnProcessHeap(heap)) return nullptr;
    void* block = malloc(bytes == 0 ? 1 : bytes);
    if (block != nullptr) ++Now().heapBlocks;
    return block;
}

void* HeapReAlloc(HANDLE heap, DWORD, void* block, uintptr_t bytes) {
    if (Fails(fuzz::OP_HEAP_REALLOC) || !OnProcessHeap(heap)) return nullptr;
    return realloc(block, bytes == 0 ? 1 : bytes);
}

BOOL HeapFree(HANDLE heap, DWORD, void* block) {
    BOOL ok = !Fails(fuzz::OP_HEAP_FREE);
    if (!OnProcessHeap(heap)) return 0;
    if (block != nullptr) --Now().heapBlocks;
    free(block);
    return ok;
}

int32_t MessageBoxW(HWND, const char16_t* text, const char16_t*, uint32_t) {
    if (Fails(fuzz::OP_MESSAGE_BOX)) return 0;
    size_t n = 0; // a box reads its whole text
    while (text[n] != 0)
        ++n;
    return 1;
}

int32_t wsprintfW(char16_t* buffer, const char16_t* format, ...) {
    if (Fails(fuzz::OP_WSPRINTF)) {
        buffer[0] = 0;
        return 0;
    }
    va_list args;
    va_start(args, format);
    int32_t written = FormatWideV(buffer, WSPRINTF_CAPACITY, format, args);
    va_end(args);
    return written;
}

HANDLE GetStdHandle(DWORD id) {
    if (Fails(fuzz::OP_GET_STD_HANDLE)) return InvalidHandle();
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(static_cast<int32_t>(id)));
}

BOOL ReadFile(HANDLE, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void*) {
    *bytesRead = 0;
    fuzz::World& w = Now();
    bool fails = Fails(fuzz::OP_READ_FILE);
    size_t left = w.inputSize - w.inputRead;
    if (left == 0 && w.inputIsPipe) return 0; // the writer closed a drained pipe
    size_t n = bytesToRead < left ? bytesToRead : left;
    if (fails) n /= 2;
    memcpy(buffer, w.input + w.inputRead, n);
    w.inputRead += n;
    *bytesRead = static_cast<DWORD>(n);
    return fails ? 0 : 1;
}

BOOL WriteFile(HANDLE, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void*) {
    // Read the first and last byte, so a count beyond the buffer shows.
    if (bytesToWrite > 0) {
        const volatile uint8_t* bytes = static_cast<const uint8_t*>(buffer);
        (void)bytes[0];
        (void)bytes[bytesToWrite - 1];
    }
    bool fails = Fails(fuzz::OP_WRITE_FILE);
    DWORD n = fails ? bytesToWrite / 2 : bytesToWrite;
    Now().bytesWritten += n;
    *bytesWritten = n;
    return fails ? 0 : 1;
}

// An open pipe shows what is left; it is empty until the writer closes it
// after a few pauses, and then fails once drained.
BOOL PeekNamedPipe(HANDLE, void*, DWORD, DWORD*, DWORD* totalBytesAvail, DWORD*) {
    fuzz::World& w = Now();
    if (Fails(fuzz::OP_PEEK_NAMED_PIPE) || !w.inputIsPipe) return 0;
    size_t left = w.inputSize - w.inputRead;
    if (left == 0 && w.pauses >= w.pausesBeforeClose) return 0;
    if (totalBytesAvail != nullptr) *totalBytesAvail = static_cast<DWORD>(left);
    return 1;
}

void Sleep(DWORD) {
    ++Now().pauses;
}

int32_t MultiByteToWideChar(uint32_t codePage, DWORD, const char* bytes, int32_t byteCount,
                            char16_t* wide, int32_t wideCount) {
    if (Fails(fuzz::OP_MULTI_BYTE_TO_WIDE_CHAR)) return 0;
    return DecodeBytes(codePage, bytes, byteCount, wide, wideCount);
}

BOOL IsDBCSLeadByteEx(uint32_t codePage, uint8_t testChar) {
    if (Fails(fuzz::OP_IS_DBCS_LEAD_BYTE)) return 0;
    return codePage == CP_ACP && Now().ansiIsDoubleByte &&
           ((testChar >= 0x81 && testChar <= 0x9F) || (testChar >= 0xE0 && testChar <= 0xFC));
}

int32_t WideCharToMultiByte(uint32_t codePage, DWORD, const char16_t* wide, int32_t wideCount,
                            char* bytes, int32_t byteCount, const char*, BOOL*) {
    if (Fails(fuzz::OP_WIDE_CHAR_TO_MULTI_BYTE)) return 0;
    return EncodeWide(codePage, wide, wideCount, bytes, byteCount);
}

HANDLE CreateFileW(const char16_t* name, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) {
    if (Fails(fuzz::OP_CREATE_FILE) || !Now().fileOpens || name[0] == 0) return InvalidHandle();
    ++Now().handles;
    return fuzz::Handle(fuzz::FILE_HANDLE);
}

BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    if (Fails(fuzz::OP_GET_FILE_INFORMATION) || file != fuzz::Handle(fuzz::FILE_HANDLE)) return 0;
    memset(info, 0, sizeof *info);
    info->ftCreationTime = Now().times[0];
    info->ftLastAccessTime = Now().times[1];
    info->ftLastWriteTime = Now().times[2];
    return 1;
}

BOOL CloseHandle(HANDLE handle) {
    BOOL ok = !Fails(fuzz::OP_CLOSE_HANDLE);
    if (handle == fuzz::Handle(fuzz::FILE_HANDLE)) --Now().handles;
    return ok;
}

HANDLE FindFirstFileW(const char16_t* name, WIN32_FIND_DATAW* data) {
    if (Fails(fuzz::OP_FIND_FIRST_FILE) || !Now().fileFound || name[0] == 0) return InvalidHandle();
    memset(data, 0, sizeof *data);
    data->ftCreationTime = Now().times[0];
    data->ftLastAccessTime = Now().times[1];
    data->ftLastWriteTime = Now().times[2];
    ++Now().searches;
    return fuzz::Handle(fuzz::SEARCH);
}

BOOL FindClose(HANDLE search) {
    BOOL ok = !Fails(fuzz::OP_FIND_CLOSE);
    if (search == fuzz::Handle(fuzz::SEARCH)) --Now().searches;
    return ok;
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
    if (Fails(fuzz::OP_FILE_TIME_TO_LOCAL)) return 0;
    uint64_t ticks = FileTimeTicks(*utc);
    if (ticks >= 0x8000000000000000ull) return 0;
    *local = FileTimeFromTicks(ticks + 9 * 3600 * FILETIME_TICKS_PER_SECOND); // UTC+9
    return 1;
}

BOOL FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* split) {
    if (Fails(fuzz::OP_FILE_TIME_TO_SYSTEM)) return 0;
    return SplitFileTime(FileTimeTicks(*time), split) ? 1 : 0;
}

void GetLocalTime(SYSTEMTIME* now) {
    *now = Now().now;
}

DWORD GetLogicalDrives() {
    if (Fails(fuzz::OP_GET_LOGICAL_DRIVES)) return 0;
    return Now().drives;
}

DWORD GetFileAttributesW(const char16_t* path) {
    if (Fails(fuzz::OP_GET_FILE_ATTRIBUTES) || !Now().pathsExist) return INVALID_FILE_ATTRIBUTES;
    char16_t letter = path[0] >= u'a' && path[0] <= u'z' ? path[0] - 32 : path[0];
    if (letter < u'A' || letter > u'Z' || !(Now().drives & (1u << (letter - u'A'))))
        return INVALID_FILE_ATTRIBUTES;
    return FILE_ATTRIBUTE_DIRECTORY;
}

BOOL GetVolumeInformationW(const char16_t* root, char16_t* label, DWORD labelSize, DWORD* serial,
                           DWORD*, DWORD*, char16_t*, DWORD) {
    if (Fails(fuzz::OP_GET_VOLUME_INFORMATION)) return 0;
    if (root[0] < u'A' || root[0] > u'Z' || root[1] != u':' || root[2] != u'\\' || root[3] != 0)
        return 0;
    const fuzz::Volume& v = Now().volumes[root[0] - u'A'];
    if (!v.readable || v.label == nullptr) return 0;
    size_t n = 0;
    while (v.label[n] != 0)
        ++n;
    if (n + 1 > labelSize) return 0;
    memcpy(label, v.label, (n + 1) * sizeof(char16_t));
    *serial = v.serial;
    return 1;
}

BOOL OpenClipboard(HWND) {
    fuzz::World& w = Now();
    if (Fails(fuzz::OP_OPEN_CLIPBOARD) || w.clipboardOpen > 0) return 0;
    if (w.clipboardBusy > 0) {
        --w.clipboardBusy;
        return 0;
    }
    ++w.clipboardOpen;
    return 1;
}

HANDLE GetClipboardData(uint32_t format) {
    if (Fails(fuzz::OP_GET_CLIPBOARD_DATA) || Now().clipboardOpen <= 0 ||
        format != CF_UNICODETEXT || Now().clipboardText == nullptr)
        return nullptr;
    return fuzz::Handle(fuzz::CLIPBOARD_MEMORY);
}

BOOL CloseClipboard() {
    BOOL ok = !Fails(fuzz::OP_CLOSE_CLIPBOARD);
    --Now().clipboardOpen;
    return ok;
}

void* GlobalLock(HGLOBAL memory) {
    if (Fails(fuzz::OP_GLOBAL_LOCK) || memory != fuzz::Handle(fuzz::CLIPBOARD_MEMORY))
        return nullptr;
    ++Now().clipboardLocks;
    return const_cast<char16_t*>(Now().clipboardText);
}

BOOL GlobalUnlock(HGLOBAL memory) {
    BOOL ok = !Fails(fuzz::OP_GLOBAL_UNLOCK);
    if (memory == fuzz::Handle(fuzz::CLIPBOARD_MEMORY)) --Now().clipboardLocks;
    return ok;
}

BOOL GetVersionExW(OSVERSIONINFOW* info) {
    if (Fails(fuzz::OP_GET_VERSION) || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW))
        return 0;
    *info = Now().version;
    return 1;
}

LONG RegOpenKeyExW(HKEY, const char16_t*, DWORD, DWORD, HKEY* key) {
    if (Fails(fuzz::OP_REG_OPEN_KEY) || !Now().registryOpens) return ERROR_FILE_NOT_FOUND;
    ++Now().keys;
    *key = reinterpret_cast<HKEY>(fuzz::KEY);
    return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY key, DWORD index, char16_t* name, DWORD* nameCount, DWORD*, DWORD* type,
                   uint8_t* data, DWORD* dataSize) {
    if (Fails(fuzz::OP_REG_ENUM_VALUE)) return ERROR_FILE_NOT_FOUND;
    if (key != reinterpret_cast<HKEY>(fuzz::KEY) || index >= Now().valueCount)
        return ERROR_NO_MORE_ITEMS;
    const fuzz::World::Value& value = Now().values[index];
    size_t nameLength = 0, dataLength = 0;
    while (value.name[nameLength] != 0)
        ++nameLength;
    while (value.data[dataLength] != 0)
        ++dataLength;
    size_t dataBytes = (dataLength + 1) * sizeof(char16_t);
    if (nameLength + 1 > *nameCount || dataBytes > *dataSize) return ERROR_MORE_DATA;
    memcpy(name, value.name, (nameLength + 1) * sizeof(char16_t));
    *nameCount = static_cast<DWORD>(nameLength);
    memcpy(data, value.data, dataBytes);
    *dataSize = static_cast<DWORD>(dataBytes);
    if (type != nullptr) *type = 1; // REG_SZ
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    LONG result = Fails(fuzz::OP_REG_CLOSE_KEY) ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
    if (key == reinterpret_cast<HKEY>(fuzz::KEY)) --Now().keys;
    return result;
}

} // namespace os
