#include "platform/testing/fake_platform.h"

#include "platform/win32_emulation/codepage.h"
#include "platform/win32_emulation/wide_format.h"

#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

namespace fake {

namespace {

Platform* g_state = nullptr;

intptr_t I(const void* p) { return reinterpret_cast<intptr_t>(p); }

void Record(const char* op, std::vector<intptr_t> args, const char16_t* text = nullptr) {
    Call call{op, std::move(args), {}};
    if (text != nullptr)
        call.text = text;
    State().calls.push_back(std::move(call));
}

// True when this call of op is to fail.
bool Fails(const char* op) {
    auto it = State().faults.find(op);
    if (it == State().faults.end())
        return false;
    size_t n = Count(op);
    return it->second.keepFailing ? n >= static_cast<size_t>(it->second.nth)
                                  : n == static_cast<size_t>(it->second.nth);
}

constexpr uintptr_t FAKE_KEY = 0x4B45;
constexpr uintptr_t FAKE_CLIPBOARD_MEMORY = 0xC11B;

} // namespace

Platform& State() {
    if (g_state == nullptr)
        g_state = new Platform();
    return *g_state;
}

void Reset() {
    if (g_state != nullptr)
        for (auto& block : g_state->liveBlocks)
            free(block.first);
    delete g_state;
    g_state = new Platform();
}

size_t Count(const std::string& op) {
    size_t n = 0;
    for (const Call& call : State().calls)
        if (call.op == op)
            ++n;
    return n;
}

std::vector<std::string> Ops(const std::vector<std::string>& only) {
    std::vector<std::string> ops;
    for (const Call& call : State().calls) {
        bool wanted = only.empty();
        for (const std::string& o : only)
            wanted = wanted || o == call.op;
        if (wanted)
            ops.push_back(call.op);
    }
    return ops;
}

void FailNth(const std::string& op, int nth, bool keepFailing) {
    State().faults[op] = Platform::Fault{nth, keepFailing};
}

} // namespace fake

using fake::State;

namespace os {

HANDLE GetProcessHeap() {
    fake::Record("GetProcessHeap", {});
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x4EA9));
}

void* HeapAlloc(HANDLE heap, DWORD flags, uintptr_t bytes) {
    fake::Record("HeapAlloc", {fake::I(heap), static_cast<intptr_t>(flags), static_cast<intptr_t>(bytes)});
    if (fake::Fails("HeapAlloc"))
        return nullptr;
    void* block = malloc(bytes == 0 ? 1 : bytes);
    State().liveBlocks[block] = bytes;
    State().allocationSizes.push_back(bytes);
    return block;
}

void* HeapReAlloc(HANDLE heap, DWORD flags, void* block, uintptr_t bytes) {
    fake::Record("HeapReAlloc", {fake::I(heap), static_cast<intptr_t>(flags), fake::I(block),
                                 static_cast<intptr_t>(bytes)});
    if (fake::Fails("HeapReAlloc"))
        return nullptr;
    State().liveBlocks.erase(block);
    void* moved = realloc(block, bytes == 0 ? 1 : bytes);
    State().liveBlocks[moved] = bytes;
    State().allocationSizes.push_back(bytes);
    return moved;
}

BOOL HeapFree(HANDLE heap, DWORD flags, void* block) {
    fake::Record("HeapFree", {fake::I(heap), static_cast<intptr_t>(flags), fake::I(block)});
    State().liveBlocks.erase(block);
    free(block);
    return 1;
}

int32_t MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, uint32_t type) {
    fake::Record("MessageBoxW", {fake::I(owner), fake::I(caption), static_cast<intptr_t>(type)}, text);
    State().messageBoxes.push_back(text);
    return 1;
}

int32_t wsprintfW(char16_t* buffer, const char16_t* format, ...) {
    fake::Record("wsprintfW", {}, format);
    va_list args;
    va_start(args, format);
    int32_t written = FormatWideV(buffer, WSPRINTF_CAPACITY, format, args);
    va_end(args);
    return written;
}

HANDLE GetStdHandle(DWORD id) {
    fake::Record("GetStdHandle", {static_cast<int32_t>(id)});
    if (fake::Fails("GetStdHandle"))
        return InvalidHandle();
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(static_cast<int32_t>(id)));
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void*) {
    fake::Record("ReadFile", {fake::I(file), static_cast<intptr_t>(bytesToRead)});
    *bytesRead = 0;
    if (fake::Fails("ReadFile") || !State().readFile)
        return 0;
    return State().readFile(file, buffer, bytesToRead, bytesRead);
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void*) {
    fake::Record("WriteFile", {fake::I(file), static_cast<intptr_t>(bytesToWrite)});
    *bytesWritten = 0;
    if (fake::Fails("WriteFile"))
        return 0;
    if (State().writeFile)
        return State().writeFile(file, buffer, bytesToWrite, bytesWritten);
    State().written[fake::I(file)].append(static_cast<const char*>(buffer), bytesToWrite);
    *bytesWritten = bytesToWrite;
    return 1;
}

BOOL PeekNamedPipe(HANDLE pipe, void*, DWORD, DWORD*, DWORD* totalBytesAvail, DWORD*) {
    fake::Record("PeekNamedPipe", {fake::I(pipe)});
    if (fake::Fails("PeekNamedPipe") || !State().peekNamedPipe)
        return 0;
    DWORD available = 0;
    BOOL ok = State().peekNamedPipe(pipe, &available);
    if (totalBytesAvail != nullptr)
        *totalBytesAvail = available;
    return ok;
}

void Sleep(DWORD milliseconds) { fake::Record("Sleep", {static_cast<intptr_t>(milliseconds)}); }

int32_t MultiByteToWideChar(uint32_t codePage, DWORD flags, const char* bytes, int32_t byteCount,
                            char16_t* wide, int32_t wideCount) {
    fake::Record("MultiByteToWideChar", {static_cast<intptr_t>(codePage), static_cast<intptr_t>(flags),
                                         byteCount, wideCount});
    if (State().multiByteSeen)
        State().multiByteSeen(codePage, bytes, byteCount);
    if (fake::Fails("MultiByteToWideChar"))
        return 0;
    return DecodeBytes(codePage, bytes, byteCount, wide, wideCount);
}

BOOL IsDBCSLeadByteEx(uint32_t codePage, uint8_t testChar) {
    fake::Record("IsDBCSLeadByteEx", {static_cast<intptr_t>(codePage), testChar});
    return State().isDBCSLeadByte ? State().isDBCSLeadByte(codePage, testChar) : 0;
}

int32_t WideCharToMultiByte(uint32_t codePage, DWORD flags, const char16_t* wide, int32_t wideCount,
                            char* bytes, int32_t byteCount, const char* defaultChar,
                            BOOL* usedDefaultChar) {
    fake::Record("WideCharToMultiByte", {static_cast<intptr_t>(codePage), static_cast<intptr_t>(flags),
                                         wideCount, byteCount, fake::I(defaultChar),
                                         fake::I(usedDefaultChar)});
    if (fake::Fails("WideCharToMultiByte"))
        return 0;
    return EncodeWide(codePage, wide, wideCount, bytes, byteCount);
}

HANDLE CreateFileW(const char16_t* name, DWORD access, DWORD shareMode, void* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
    fake::Record("CreateFileW", {static_cast<intptr_t>(access), static_cast<intptr_t>(shareMode),
                                 fake::I(security), static_cast<intptr_t>(disposition),
                                 static_cast<intptr_t>(flags), fake::I(templateFile)},
                 name);
    if (fake::Fails("CreateFileW") || !State().createFile)
        return InvalidHandle();
    return State().createFile(name);
}

BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    fake::Record("GetFileInformationByHandle", {fake::I(file)});
    if (fake::Fails("GetFileInformationByHandle") || !State().getFileInformation)
        return 0;
    return State().getFileInformation(file, info);
}

BOOL CloseHandle(HANDLE handle) {
    fake::Record("CloseHandle", {fake::I(handle)});
    return 1;
}

HANDLE FindFirstFileW(const char16_t* name, WIN32_FIND_DATAW* data) {
    fake::Record("FindFirstFileW", {}, name);
    if (fake::Fails("FindFirstFileW") || !State().findFirstFile)
        return InvalidHandle();
    return State().findFirstFile(name, data);
}

BOOL FindClose(HANDLE search) {
    fake::Record("FindClose", {fake::I(search)});
    return 1;
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
    fake::Record("FileTimeToLocalFileTime", {static_cast<intptr_t>(utc->dwLowDateTime),
                                             static_cast<intptr_t>(utc->dwHighDateTime)});
    if (fake::Fails("FileTimeToLocalFileTime"))
        return 0;
    if (State().fileTimeToLocal)
        return State().fileTimeToLocal(utc, local);
    *local = *utc;
    return 1;
}

BOOL FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* split) {
    fake::Record("FileTimeToSystemTime", {static_cast<intptr_t>(time->dwLowDateTime),
                                          static_cast<intptr_t>(time->dwHighDateTime)});
    if (fake::Fails("FileTimeToSystemTime") || !State().fileTimeToSystem)
        return 0;
    return State().fileTimeToSystem(time, split);
}

void GetLocalTime(SYSTEMTIME* now) {
    fake::Record("GetLocalTime", {});
    *now = State().localTime;
}

DWORD GetLogicalDrives() {
    fake::Record("GetLogicalDrives", {});
    return State().logicalDrives;
}

DWORD GetFileAttributesW(const char16_t* path) {
    fake::Record("GetFileAttributesW", {}, path);
    auto it = State().fileAttributes.find(path);
    return it == State().fileAttributes.end() ? INVALID_FILE_ATTRIBUTES : it->second;
}

BOOL GetVolumeInformationW(const char16_t* root, char16_t* label, DWORD labelSize, DWORD* serial,
                           DWORD* maxComponentLength, DWORD* fileSystemFlags,
                           char16_t* fileSystemName, DWORD fileSystemNameSize) {
    fake::Record("GetVolumeInformationW",
                 {static_cast<intptr_t>(labelSize), fake::I(maxComponentLength),
                  fake::I(fileSystemFlags), fake::I(fileSystemName),
                  static_cast<intptr_t>(fileSystemNameSize)},
                 root);
    auto it = State().volumes.find(root[0]);
    if (it == State().volumes.end() || !it->second.readable)
        return 0;
    const std::u16string& text = it->second.label;
    if (text.size() + 1 > labelSize)
        return 0;
    memcpy(label, text.c_str(), (text.size() + 1) * sizeof(char16_t));
    *serial = it->second.serial;
    return 1;
}

BOOL OpenClipboard(HWND owner) {
    fake::Record("OpenClipboard", {fake::I(owner)});
    fake::Platform& s = State();
    if (s.clipboardOpenFailures < 0)
        return 0;
    if (s.clipboardOpenFailures > 0) {
        --s.clipboardOpenFailures;
        return 0;
    }
    ++s.clipboardOpenDepth;
    return 1;
}

HANDLE GetClipboardData(uint32_t format) {
    fake::Record("GetClipboardData", {static_cast<intptr_t>(format)});
    if (format != CF_UNICODETEXT || !State().clipboardHasText)
        return nullptr;
    return reinterpret_cast<HANDLE>(fake::FAKE_CLIPBOARD_MEMORY);
}

BOOL CloseClipboard() {
    fake::Record("CloseClipboard", {});
    --State().clipboardOpenDepth;
    return 1;
}

void* GlobalLock(HGLOBAL memory) {
    fake::Record("GlobalLock", {fake::I(memory)});
    if (State().clipboardLockFails || memory != reinterpret_cast<HGLOBAL>(fake::FAKE_CLIPBOARD_MEMORY))
        return nullptr;
    ++State().clipboardLockDepth;
    return &State().clipboardText[0];
}

BOOL GlobalUnlock(HGLOBAL memory) {
    fake::Record("GlobalUnlock", {fake::I(memory)});
    --State().clipboardLockDepth;
    return 1;
}

BOOL GetVersionExW(OSVERSIONINFOW* info) {
    fake::Record("GetVersionExW", {static_cast<intptr_t>(info->dwOSVersionInfoSize)});
    if (fake::Fails("GetVersionExW"))
        return 0;
    *info = State().version;
    return 1;
}

LONG RegOpenKeyExW(HKEY root, const char16_t* subKey, DWORD options, DWORD access, HKEY* key) {
    fake::Record("RegOpenKeyExW", {fake::I(root), static_cast<intptr_t>(options),
                                   static_cast<intptr_t>(access)},
                 subKey);
    if (fake::Fails("RegOpenKeyExW") || !State().registryKeyExists)
        return ERROR_FILE_NOT_FOUND;
    ++State().openKeys;
    *key = reinterpret_cast<HKEY>(fake::FAKE_KEY);
    return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY key, DWORD index, char16_t* name, DWORD* nameCount, DWORD* reserved,
                   DWORD* type, uint8_t* data, DWORD* dataSize) {
    fake::Record("RegEnumValueW", {fake::I(key), static_cast<intptr_t>(index),
                                   static_cast<intptr_t>(*nameCount), fake::I(reserved),
                                   static_cast<intptr_t>(*dataSize)});
    const auto& values = State().registryValues;
    if (index >= values.size())
        return ERROR_NO_MORE_ITEMS;
    const fake::RegistryValue& value = values[index];
    size_t dataBytes = (value.data.size() + 1) * sizeof(char16_t);
    if (value.name.size() + 1 > *nameCount || dataBytes > *dataSize)
        return ERROR_MORE_DATA;
    memcpy(name, value.name.c_str(), (value.name.size() + 1) * sizeof(char16_t));
    *nameCount = static_cast<DWORD>(value.name.size());
    memcpy(data, value.data.c_str(), dataBytes);
    *dataSize = static_cast<DWORD>(dataBytes);
    if (type != nullptr)
        *type = 1; // REG_SZ
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    fake::Record("RegCloseKey", {fake::I(key)});
    --State().openKeys;
    return ERROR_SUCCESS;
}

} // namespace os
