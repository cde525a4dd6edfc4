#include "platform/testing/fake_platform.h"

#include "platform/win32_emulation/codepage.h"
#include "platform/win32_emulation/wide_format.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

namespace fake {

namespace {

Platform* g_state = nullptr;

struct OpInfo {
    Op op;
    const char* name;
    bool canFail;
};

// In the order of Op.
constexpr OpInfo OPS[OP_COUNT] = {
    {Op::GetProcessHeap, "GetProcessHeap", true},
    {Op::HeapAlloc, "HeapAlloc", true},
    {Op::HeapReAlloc, "HeapReAlloc", true},
    {Op::HeapFree, "HeapFree", true},
    {Op::MessageBoxW, "MessageBoxW", true},
    {Op::wsprintfW, "wsprintfW", true},
    {Op::GetStdHandle, "GetStdHandle", true},
    {Op::ReadFile, "ReadFile", true},
    {Op::WriteFile, "WriteFile", true},
    {Op::PeekNamedPipe, "PeekNamedPipe", true},
    {Op::Sleep, "Sleep", false},
    {Op::MultiByteToWideChar, "MultiByteToWideChar", true},
    {Op::WideCharToMultiByte, "WideCharToMultiByte", true},
    {Op::IsDBCSLeadByteEx, "IsDBCSLeadByteEx", true},
    {Op::CreateFileW, "CreateFileW", true},
    {Op::GetFileInformationByHandle, "GetFileInformationByHandle", true},
    {Op::CloseHandle, "CloseHandle", true},
    {Op::FindFirstFileW, "FindFirstFileW", true},
    {Op::FindClose, "FindClose", true},
    {Op::FileTimeToLocalFileTime, "FileTimeToLocalFileTime", true},
    {Op::FileTimeToSystemTime, "FileTimeToSystemTime", true},
    {Op::GetLocalTime, "GetLocalTime", false},
    {Op::GetLogicalDrives, "GetLogicalDrives", true},
    {Op::GetFileAttributesW, "GetFileAttributesW", true},
    {Op::GetVolumeInformationW, "GetVolumeInformationW", true},
    {Op::OpenClipboard, "OpenClipboard", true},
    {Op::GetClipboardData, "GetClipboardData", true},
    {Op::CloseClipboard, "CloseClipboard", true},
    {Op::GlobalLock, "GlobalLock", true},
    {Op::GlobalUnlock, "GlobalUnlock", true},
    {Op::GetVersionExW, "GetVersionExW", true},
    {Op::RegOpenKeyExW, "RegOpenKeyExW", true},
    {Op::RegEnumValueW, "RegEnumValueW", true},
    {Op::RegCloseKey, "RegCloseKey", true},
};

constexpr bool InOpOrder() {
    for (size_t i = 0; i < OP_COUNT; ++i)
        if (static_cast<size_t>(OPS[i].op) != i) return false;
    return true;
}
static_assert(InOpOrder(), "OPS lists the operations in the order of Op");

[[noreturn]] void Misuse(const char* what, const std::string& name) {
    fprintf(stderr, "fake platform: %s '%s'\n", what, name.c_str());
    fflush(stderr);
    abort();
}

size_t Index(Op op) {
    return static_cast<size_t>(op);
}

intptr_t I(const void* p) {
    return reinterpret_cast<intptr_t>(p);
}
intptr_t N(uint64_t n) {
    return static_cast<intptr_t>(n);
}

// Counts and logs one call; true when an injected failure makes it fail.
bool Enter(Op op, std::initializer_list<intptr_t> args, const char16_t* text = nullptr) {
    Platform& s = State();
    size_t n = ++s.counts[Index(op)];
    if (s.logCalls) {
        s.calls.emplace_back();
        Call& call = s.calls.back();
        call.op = op;
        size_t i = 0;
        for (intptr_t a : args)
            call.args[i++] = a;
        call.argCount = static_cast<uint8_t>(i);
        for (; i < sizeof(call.args) / sizeof(call.args[0]); ++i)
            call.args[i] = 0;
        if (text != nullptr) call.text = text;
    }
    const Platform::Fault& f = s.faults[Index(op)];
    if (f.first == 0 || n < f.first || n > f.last) return false;
    ++s.fired;
    return true;
}

// Drops one entry from a list of open things; false when it was not there.
template <typename T> bool Release(std::vector<T>& open, T item) {
    auto it = std::find(open.begin(), open.end(), item);
    if (it == open.end()) {
        ++State().releasesOfNothing;
        return false;
    }
    open.erase(it);
    return true;
}

constexpr uintptr_t FAKE_HEAP = 0x4EA9;
constexpr uintptr_t FAKE_KEY = 0x4B45;
constexpr uintptr_t FAKE_CLIPBOARD_MEMORY = 0xC11B;
constexpr os::LONG ERROR_ACCESS_DENIED = 5;
constexpr os::LONG ERROR_INVALID_HANDLE = 6;

bool IsProcessHeap(os::HANDLE heap) {
    if (heap == reinterpret_cast<os::HANDLE>(FAKE_HEAP)) return true;
    ++State().callsOnNoHeap;
    return false;
}

void Phrase(std::string& out, size_t n, const char* one, const char* many) {
    if (n == 0) return;
    if (!out.empty()) out += ", ";
    out += std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

const char* Name(Op op) {
    return OPS[Index(op)].name;
}

Op OpNamed(const std::string& name) {
    for (size_t i = 0; i < OP_COUNT; ++i)
        if (name == OPS[i].name) return static_cast<Op>(i);
    Misuse("no platform operation is named", name);
}

bool CanFail(Op op) {
    return OPS[Index(op)].canFail;
}

Platform& State() {
    if (g_state == nullptr) g_state = new Platform();
    return *g_state;
}

void Reset() {
    if (g_state != nullptr)
        for (auto& block : g_state->liveBlocks)
            free(block.first);
    delete g_state;
    g_state = new Platform();
}

void Rewind() {
    Platform& s = State();
    for (auto& block : s.liveBlocks)
        free(block.first);
    s.liveBlocks.clear();
    s.allocationSizes.clear();
    s.calls.clear();
    for (size_t i = 0; i < OP_COUNT; ++i) {
        s.counts[i] = 0;
        s.faults[i] = {};
    }
    s.fired = 0;
    s.openHandles.clear();
    s.openFinds.clear();
    s.openKeys.clear();
    s.clipboardOpenDepth = 0;
    s.clipboardLockDepth = 0;
    s.releasesOfNothing = 0;
    s.callsOnNoHeap = 0;
    s.messageBoxes.clear();
    s.written.clear();
}

void FailCalls(Op op, int first, int last) {
    if (!CanFail(op)) Misuse("this operation cannot fail:", Name(op));
    if (first < 1 || last < first) Misuse("no call to fail of", Name(op));
    State().faults[Index(op)] = {static_cast<size_t>(first), static_cast<size_t>(last)};
}

void FailNth(Op op, int nth, bool fromThenOn) {
    if (!CanFail(op)) Misuse("this operation cannot fail:", Name(op));
    if (nth < 1) Misuse("no call to fail of", Name(op));
    State().faults[Index(op)] = {static_cast<size_t>(nth),
                                 fromThenOn ? static_cast<size_t>(-1) : static_cast<size_t>(nth)};
}

void FailNth(const std::string& op, int nth, bool fromThenOn) {
    FailNth(OpNamed(op), nth, fromThenOn);
}

std::vector<intptr_t> Args(const Call& call) {
    return std::vector<intptr_t>(call.args, call.args + call.argCount);
}

size_t Fired() {
    return State().fired;
}

size_t Count(Op op) {
    return State().counts[Index(op)];
}

size_t Count(const std::string& op) {
    return Count(OpNamed(op));
}

std::vector<std::string> Ops(const std::vector<std::string>& only) {
    bool wanted[OP_COUNT] = {};
    for (const std::string& name : only)
        wanted[Index(OpNamed(name))] = true;
    std::vector<std::string> ops;
    for (const Call& call : State().calls)
        if (only.empty() || wanted[Index(call.op)]) ops.push_back(Name(call.op));
    return ops;
}

void ClearCalls() {
    Platform& s = State();
    s.calls.clear();
    for (size_t& n : s.counts)
        n = 0;
}

std::string StillOpen() {
    const Platform& s = State();
    std::string out;
    Phrase(out, s.liveBlocks.size(), "heap block", "heap blocks");
    Phrase(out, s.openHandles.size(), "file handle", "file handles");
    Phrase(out, s.openFinds.size(), "find handle", "find handles");
    Phrase(out, s.openKeys.size(), "registry key", "registry keys");
    Phrase(out, static_cast<size_t>(std::max(s.clipboardOpenDepth, 0)), "clipboard open",
           "clipboard opens");
    Phrase(out, static_cast<size_t>(std::max(s.clipboardLockDepth, 0)), "clipboard lock",
           "clipboard locks");
    Phrase(out, static_cast<size_t>(s.releasesOfNothing), "release of nothing open",
           "releases of nothing open");
    Phrase(out, static_cast<size_t>(s.callsOnNoHeap), "heap call on no heap",
           "heap calls on no heap");
    return out;
}

} // namespace fake

using fake::Enter;
using fake::I;
using fake::N;
using fake::Op;
using fake::State;

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

HANDLE GetStdHandle(DWORD id) {
    if (Enter(Op::GetStdHandle, {static_cast<int32_t>(id)})) return InvalidHandle();
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(static_cast<int32_t>(id)));
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void*) {
    bool fails = Enter(Op::ReadFile, {I(file), N(bytesToRead)});
    *bytesRead = 0;
    if (!State().readFile) return 0;
    if (!fails) return State().readFile(file, buffer, bytesToRead, bytesRead);
    // Half of it came before the pipe broke.
    if (bytesToRead / 2 > 0 && !State().readFile(file, buffer, bytesToRead / 2, bytesRead))
        *bytesRead = 0;
    return 0;
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten, void*) {
    bool fails = Enter(Op::WriteFile, {I(file), N(bytesToWrite)});
    *bytesWritten = 0;
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
    if (Enter(Op::PeekNamedPipe, {I(pipe)}) || !State().peekNamedPipe) return 0;
    DWORD available = 0;
    BOOL ok = State().peekNamedPipe(pipe, &available);
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
    return DecodeBytes(codePage, bytes, byteCount, wide, wideCount);
}

BOOL IsDBCSLeadByteEx(uint32_t codePage, uint8_t testChar) {
    if (Enter(Op::IsDBCSLeadByteEx, {N(codePage), testChar})) return 0;
    return State().isDBCSLeadByte ? State().isDBCSLeadByte(codePage, testChar) : 0;
}

int32_t WideCharToMultiByte(uint32_t codePage, DWORD flags, const char16_t* wide, int32_t wideCount,
                            char* bytes, int32_t byteCount, const char* defaultChar,
                            BOOL* usedDefaultChar) {
    if (Enter(Op::WideCharToMultiByte,
              {N(codePage), N(flags), wideCount, byteCount, I(defaultChar), I(usedDefaultChar)}))
        return 0;
    return EncodeWide(codePage, wide, wideCount, bytes, byteCount);
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
    if (Enter(Op::GetFileAttributesW, {}, path)) return INVALID_FILE_ATTRIBUTES;
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
              root))
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
