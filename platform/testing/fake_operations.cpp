// The platform operations of the test build: each counts and logs its call
// through Enter, fails when a fault is set for it, and otherwise acts on the
// scripted world of fake::State().
#include "platform/testing/fake_calls.h"
#include "platform/testing/fake_platform.h"

#include "platform/win32_emulation/codepage.h"
#include "platform/win32_emulation/wide_format.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

using fake::Enter;
using fake::I;
using fake::N;
using fake::Op;
using fake::State;

namespace {

// Reads of the world's pipe, where no hook is set.
os::BOOL ReadPipe(os::HANDLE, void* buffer, os::DWORD bytesToRead, os::DWORD* bytesRead) {
    fake::Platform::Pipe& pipe = fake::State().pipe;
    if (pipe.waiting.empty() && !pipe.later.empty()) {
        pipe.waiting = pipe.later.front();
        pipe.later.pop_front();
    }
    if (pipe.waiting.empty()) return 0;
    size_t n = bytesToRead < pipe.waiting.size() ? bytesToRead : pipe.waiting.size();
    memcpy(buffer, pipe.waiting.data(), n);
    pipe.waiting.erase(0, n);
    *bytesRead = static_cast<os::DWORD>(n);
    return 1;
}

os::BOOL PeekPipe(os::HANDLE, os::DWORD* available) {
    const fake::Platform::Pipe& pipe = fake::State().pipe;
    *available = static_cast<os::DWORD>(pipe.waiting.size());
    if (!pipe.waiting.empty() || !pipe.later.empty() || pipe.writerOpen) return 1;
    fake::State().lastError = os::ERROR_BROKEN_PIPE;
    return 0;
}

// I/O on NULL or INVALID_HANDLE_VALUE fails with ERROR_INVALID_HANDLE.
bool NoHandle(os::HANDLE handle) {
    if (handle != nullptr && handle != os::InvalidHandle()) return false;
    fake::State().lastError = os::ERROR_INVALID_HANDLE;
    return true;
}

// The code page that code page 0 stands for.
uint32_t Actual(uint32_t codePage) {
    return codePage == os::CP_ACP ? fake::State().ansiCodePage : codePage;
}

bool IsShiftJisLead(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Code page 932: a lead byte takes the byte after it, A1..DF are half-width
// katakana. Of the pairs only those the tests write are known (93 FA is
// U+65E5, 96 7B U+672C); any other, a lead byte that ends the input and a
// byte of no character give the code page's default character U+30FB.
int32_t DecodeShiftJis(const char* bytes, int32_t byteCount, char16_t* wide, int32_t wideCount) {
    if (byteCount < 0) byteCount = static_cast<int32_t>(strlen(bytes)) + 1;
    std::u16string text;
    for (int32_t i = 0; i < byteCount; ++i) {
        auto b = static_cast<uint8_t>(bytes[i]);
        if (IsShiftJisLead(b)) {
            unsigned pair = i + 1 < byteCount ? b << 8 | static_cast<uint8_t>(bytes[++i]) : 0;
            text += pair == 0x93FA ? u'\u65E5' : pair == 0x967B ? u'\u672C' : u'\u30FB';
        } else {
            text += b < 0x80                 ? char16_t(b)
                    : b >= 0xA1 && b <= 0xDF ? char16_t(0xFF61 + b - 0xA1)
                                             : u'\u30FB';
        }
    }
    if (wideCount == 0) return static_cast<int32_t>(text.size());
    if (wideCount < static_cast<int32_t>(text.size())) return 0;
    std::copy(text.begin(), text.end(), wide);
    return static_cast<int32_t>(text.size());
}

// A volume or attribute query of a drive that answers with an error.
bool DriveRefuses(const char16_t* path) {
    fake::Platform& s = fake::State();
    auto it = s.driveErrors.find(static_cast<char16_t>(path[0] & ~0x20));
    if (path[0] == 0 || path[1] != u':' || it == s.driveErrors.end()) return false;
    constexpr os::DWORD ERROR_NOT_READY = 21;
    if (it->second == ERROR_NOT_READY && (s.threadErrorMode & os::SEM_FAILCRITICALERRORS) == 0)
        ++s.systemBoxes;
    s.lastError = it->second;
    return true;
}

} // namespace

namespace os {

HANDLE GetProcessHeap() {
    if (Enter(Op::GetProcessHeap, {})) return nullptr;
    return reinterpret_cast<HANDLE>(fake::FAKE_HEAP);
}

// A heap other than the process heap fails: Windows would fault on it.
void* HeapAlloc(HANDLE heap, DWORD flags, uintptr_t bytes) {
    bool fails = Enter(Op::HeapAlloc, {I(heap), N(flags), N(bytes)});
    if (!fake::IsProcessHeap(heap) || fails) return nullptr;
    void* block = malloc(bytes == 0 ? 1 : bytes);
    State().liveBlocks[block] = bytes;
    State().allocationSizes.push_back(bytes);
    return block;
}

void* HeapReAlloc(HANDLE heap, DWORD flags, void* block, uintptr_t bytes) {
    bool fails = Enter(Op::HeapReAlloc, {I(heap), N(flags), I(block), N(bytes)});
    if (!fake::IsProcessHeap(heap) || fails) return nullptr;
    auto it = State().liveBlocks.find(block);
    if (it == State().liveBlocks.end()) {
        ++State().releasesOfNothing;
        return nullptr;
    }
    State().liveBlocks.erase(it);
    void* moved = realloc(block, bytes == 0 ? 1 : bytes);
    State().liveBlocks[moved] = bytes;
    State().allocationSizes.push_back(bytes);
    return moved;
}

BOOL HeapFree(HANDLE heap, DWORD flags, void* block) {
    bool fails = Enter(Op::HeapFree, {I(heap), N(flags), I(block)});
    if (!fake::IsProcessHeap(heap)) return 0;
    auto it = State().liveBlocks.find(block);
    if (it == State().liveBlocks.end()) {
        ++State().releasesOfNothing;
        return 0;
    }
    State().liveBlocks.erase(it);
    free(block);
    return fails ? 0 : 1;
}

int32_t MessageBoxW(HWND owner, const char16_t* text, const char16_t* caption, uint32_t type) {
    if (Enter(Op::MessageBoxW, {I(owner), I(caption), N(type)}, text)) return 0;
    State().messageBoxes.push_back(text);
    return 1;
}

int32_t wsprintfW(char16_t* buffer, const char16_t* format, ...) {
    if (Enter(Op::wsprintfW, {}, format)) {
        buffer[0] = 0;
        return 0;
    }
    va_list args;
    va_start(args, format);
    int32_t written = FormatWideV(buffer, WSPRINTF_CAPACITY, format, args);
    va_end(args);
    return written;
}

DWORD GetLastError() {
    Enter(Op::GetLastError, {});
    return State().lastError;
}

BOOL SetThreadErrorMode(DWORD newMode, DWORD* oldMode) {
    if (Enter(Op::SetThreadErrorMode, {N(newMode), I(oldMode)})) return 0;
    if (oldMode != nullptr) *oldMode = State().threadErrorMode;
    State().threadErrorMode = newMode;
    return 1;
}

DWORD GetFileType(HANDLE file) {
    if (Enter(Op::GetFileType, {I(file)}) || NoHandle(file)) return FILE_TYPE_UNKNOWN;
    return State().fileType;
}

HANDLE GetStdHandle(DWORD id) {
    if (Enter(Op::GetStdHandle, {static_cast<int32_t>(id)})) return InvalidHandle();
    if (State().getStdHandle) return State().getStdHandle(id);
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(static_cast<int32_t>(id)));
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void*) {
    bool fails = Enter(Op::ReadFile, {I(file), N(bytesToRead)});
    *bytesRead = 0;
    if (NoHandle(file)) return 0;
    auto read = State().readFile ? State().readFile : ReadPipe;
    if (!fails) return read(file, buffer, bytesToRead, bytesRead);
    // Half of it came before the pipe broke.
    if (bytesToRead / 2 > 0 && !read(file, buffer, bytesToRead / 2, bytesRead)) *bytesRead = 0;
    return 0;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void*) {
    bool fails = Enter(Op::WriteFile, {I(file), N(bytesToWrite)});
    *bytesWritten = 0;
    if (NoHandle(file)) return 0;
    DWORD bytes = fails ? bytesToWrite / 2 : bytesToWrite;
    if (State().writeFile) {
        BOOL ok = bytes == 0 ? 1 : State().writeFile(file, buffer, bytes, bytesWritten);
        return fails ? 0 : ok;
    }
    State().written[I(file)].append(static_cast<const char*>(buffer), bytes);
    *bytesWritten = bytes;
    return fails ? 0 : 1;
}

BOOL PeekNamedPipe(HANDLE pipe, void*, DWORD, DWORD*, DWORD* totalBytesAvail, DWORD*) {
    if (Enter(Op::PeekNamedPipe, {I(pipe)}) || NoHandle(pipe)) return 0;
    DWORD available = 0;
    BOOL ok = State().peekNamedPipe ? State().peekNamedPipe(pipe, &available)
                                    : PeekPipe(pipe, &available);
    if (totalBytesAvail != nullptr) *totalBytesAvail = available;
    return ok;
}

void Sleep(DWORD milliseconds) {
    Enter(Op::Sleep, {N(milliseconds)});
}

int32_t MultiByteToWideChar(uint32_t codePage, DWORD flags, const char* bytes, int32_t byteCount,
                            char16_t* wide, int32_t wideCount) {
    bool fails = Enter(Op::MultiByteToWideChar, {N(codePage), N(flags), byteCount, wideCount});
    if (State().multiByteSeen) State().multiByteSeen(codePage, bytes, byteCount);
    if (fails) return 0;
    codePage = Actual(codePage);
    if (codePage == 932) return DecodeShiftJis(bytes, byteCount, wide, wideCount);
    constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;
    if (codePage == CP_UTF8 && (flags & ~MB_ERR_INVALID_CHARS) != 0) {
        State().lastError = ERROR_INVALID_FLAGS;
        return 0;
    }
    return DecodeBytes(codePage, bytes, byteCount, wide, wideCount);
}

BOOL IsDBCSLeadByteEx(uint32_t codePage, uint8_t testChar) {
    if (Enter(Op::IsDBCSLeadByteEx, {N(codePage), testChar})) return 0;
    if (Actual(codePage) == CP_UTF8) return 0;
    if (State().isDBCSLeadByte) return State().isDBCSLeadByte(codePage, testChar);
    return Actual(codePage) == 932 && IsShiftJisLead(testChar);
}

uint32_t GetACP() {
    Enter(Op::GetACP, {});
    return State().ansiCodePage;
}

int32_t WideCharToMultiByte(uint32_t codePage, DWORD flags, const char16_t* wide, int32_t wideCount,
                            char* bytes, int32_t byteCount, const char* defaultChar,
                            BOOL* usedDefaultChar) {
    if (Enter(Op::WideCharToMultiByte,
              {N(codePage), N(flags), wideCount, byteCount, I(defaultChar), I(usedDefaultChar)}))
        return 0;
    return EncodeWide(Actual(codePage), wide, wideCount, bytes, byteCount);
}

HANDLE CreateFileW(const char16_t* name, DWORD access, DWORD shareMode, void* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (Enter(Op::CreateFileW,
              {N(access), N(shareMode), I(security), N(disposition), N(flags), I(templateFile)},
              name) ||
        !State().createFile)
        return InvalidHandle();
    HANDLE file = State().createFile(name);
    if (file != InvalidHandle()) State().openHandles.push_back(file);
    return file;
}

BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    if (Enter(Op::GetFileInformationByHandle, {I(file)}) || !State().getFileInformation) return 0;
    return State().getFileInformation(file, info);
}

BOOL CloseHandle(HANDLE handle) {
    bool fails = Enter(Op::CloseHandle, {I(handle)});
    return fake::Release(State().openHandles, handle) && !fails;
}

HANDLE FindFirstFileW(const char16_t* name, WIN32_FIND_DATAW* data) {
    if (Enter(Op::FindFirstFileW, {}, name) || !State().findFirstFile) return InvalidHandle();
    HANDLE search = State().findFirstFile(name, data);
    if (search != InvalidHandle()) State().openFinds.push_back(search);
    return search;
}

BOOL FindClose(HANDLE search) {
    bool fails = Enter(Op::FindClose, {I(search)});
    return fake::Release(State().openFinds, search) && !fails;
}

BOOL FileTimeToLocalFileTime(const FILETIME* utc, FILETIME* local) {
    if (Enter(Op::FileTimeToLocalFileTime, {N(utc->dwLowDateTime), N(utc->dwHighDateTime)}))
        return 0;
    if (State().fileTimeToLocal) return State().fileTimeToLocal(utc, local);
    *local = *utc;
    return 1;
}

BOOL FileTimeToSystemTime(const FILETIME* time, SYSTEMTIME* split) {
    if (Enter(Op::FileTimeToSystemTime, {N(time->dwLowDateTime), N(time->dwHighDateTime)}) ||
        !State().fileTimeToSystem)
        return 0;
    return State().fileTimeToSystem(time, split);
}

void GetLocalTime(SYSTEMTIME* now) {
    Enter(Op::GetLocalTime, {});
    *now = State().localTime;
}

DWORD GetLogicalDrives() {
    if (Enter(Op::GetLogicalDrives, {})) return 0;
    return State().logicalDrives;
}

DWORD GetFileAttributesW(const char16_t* path) {
    if (Enter(Op::GetFileAttributesW, {}, path) || DriveRefuses(path))
        return INVALID_FILE_ATTRIBUTES;
    if (State().getFileAttributes) return State().getFileAttributes(path);
    auto it = State().fileAttributes.find(path);
    return it == State().fileAttributes.end() ? INVALID_FILE_ATTRIBUTES : it->second;
}

BOOL GetVolumeInformationW(const char16_t* root, char16_t* label, DWORD labelSize, DWORD* serial,
                           DWORD* maxComponentLength, DWORD* fileSystemFlags,
                           char16_t* fileSystemName, DWORD fileSystemNameSize) {
    if (Enter(Op::GetVolumeInformationW,
              {N(labelSize), I(maxComponentLength), I(fileSystemFlags), I(fileSystemName),
               N(fileSystemNameSize)},
              root) ||
        DriveRefuses(root))
        return 0;
    auto it = State().volumes.find(root[0]);
    if (it == State().volumes.end()) return 0;
    const std::u16string& text = it->second.label;
    if (text.size() + 1 > labelSize) return 0;
    memcpy(label, text.c_str(), (text.size() + 1) * sizeof(char16_t));
    *serial = it->second.serial;
    return 1;
}

BOOL OpenClipboard(HWND owner) {
    if (Enter(Op::OpenClipboard, {I(owner)})) return 0;
    if (State().clipboardHeldElsewhere) {
        State().lastError = fake::ERROR_ACCESS_DENIED;
        return 0;
    }
    ++State().clipboardOpenDepth;
    return 1;
}

HANDLE GetClipboardData(uint32_t format) {
    if (Enter(Op::GetClipboardData, {N(format)}) || State().clipboardOpenDepth <= 0 ||
        format != CF_UNICODETEXT || !State().clipboardHasText)
        return nullptr;
    return reinterpret_cast<HANDLE>(fake::FAKE_CLIPBOARD_MEMORY);
}

BOOL CloseClipboard() {
    bool fails = Enter(Op::CloseClipboard, {});
    if (State().clipboardOpenDepth <= 0) {
        ++State().releasesOfNothing;
        return 0;
    }
    --State().clipboardOpenDepth;
    return fails ? 0 : 1;
}

void* GlobalLock(HGLOBAL memory) {
    if (Enter(Op::GlobalLock, {I(memory)}) ||
        memory != reinterpret_cast<HGLOBAL>(fake::FAKE_CLIPBOARD_MEMORY))
        return nullptr;
    ++State().clipboardLockDepth;
    return &State().clipboardText[0];
}

// As in Win32, nonzero only while the memory stays locked.
BOOL GlobalUnlock(HGLOBAL memory) {
    bool fails = Enter(Op::GlobalUnlock, {I(memory)});
    if (memory != reinterpret_cast<HGLOBAL>(fake::FAKE_CLIPBOARD_MEMORY) ||
        State().clipboardLockDepth <= 0) {
        ++State().releasesOfNothing;
        return 0;
    }
    return --State().clipboardLockDepth > 0 && !fails;
}

uintptr_t GlobalSize(HGLOBAL memory) {
    if (Enter(Op::GlobalSize, {I(memory)}) ||
        memory != reinterpret_cast<HGLOBAL>(fake::FAKE_CLIPBOARD_MEMORY))
        return 0;
    size_t units = State().clipboardBlockUnits;
    return (units != 0 ? units : State().clipboardText.size() + 1) * sizeof(char16_t);
}

BOOL GetVersionExW(OSVERSIONINFOW* info) {
    if (Enter(Op::GetVersionExW, {N(info->dwOSVersionInfoSize)})) return 0;
    *info = State().version;
    return 1;
}

// Each open gives a key of its own, so that a close of the wrong one shows.
LONG RegOpenKeyExW(HKEY root, const char16_t* subKey, DWORD options, DWORD access, HKEY* key) {
    if (Enter(Op::RegOpenKeyExW, {I(root), N(options), N(access)}, subKey))
        return ERROR_FILE_NOT_FOUND;
    *key = reinterpret_cast<HKEY>(fake::FAKE_KEY + State().counts[fake::Index(Op::RegOpenKeyExW)]);
    State().openKeys.push_back(*key);
    return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY key, DWORD index, char16_t* name, DWORD* nameCount, DWORD* reserved,
                   DWORD* type, uint8_t* data, DWORD* dataSize) {
    if (Enter(Op::RegEnumValueW, {I(key), N(index), N(*nameCount), I(reserved), N(*dataSize)}))
        return fake::ERROR_ACCESS_DENIED;
    const auto& open = State().openKeys;
    if (std::find(open.begin(), open.end(), key) == open.end()) return fake::ERROR_INVALID_HANDLE;
    const auto& values = State().registryValues;
    if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
    const fake::RegistryValue& value = values[index];
    size_t dataBytes = (value.data.size() + 1) * sizeof(char16_t);
    if (value.name.size() + 1 > *nameCount || dataBytes > *dataSize) return ERROR_MORE_DATA;
    memcpy(name, value.name.c_str(), (value.name.size() + 1) * sizeof(char16_t));
    *nameCount = static_cast<DWORD>(value.name.size());
    memcpy(data, value.data.c_str(), dataBytes);
    *dataSize = static_cast<DWORD>(dataBytes);
    if (type != nullptr) *type = 1; // REG_SZ
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    bool fails = Enter(Op::RegCloseKey, {I(key)});
    if (!fake::Release(State().openKeys, key)) return fake::ERROR_INVALID_HANDLE;
    return fails ? fake::ERROR_INVALID_HANDLE : ERROR_SUCCESS;
}

} // namespace os
