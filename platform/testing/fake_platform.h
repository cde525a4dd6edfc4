// Test backend: every platform operation is counted, logged and can be made
// to fail.
//
// Each operation first counts and logs its call, then asks the fault table
// whether this call fails (the Nth call of the operation, or every call from
// the Nth on), then runs the test's hook if one is set, and otherwise a
// plain default: the heap on malloc, formatting and conversion as the POSIX
// backend does them, and a world with no file, drive, clipboard text or
// pipe, and an empty Eras registry key. Tests call fake::Reset() first.
//
// A failing call fails as its Win32 function does:
//   FALSE                    ReadFile, WriteFile, PeekNamedPipe, CloseHandle,
//                            GetFileInformationByHandle, FindClose,
//                            FileTimeToLocalFileTime, FileTimeToSystemTime,
//                            GetVolumeInformationW, OpenClipboard,
//                            CloseClipboard, GlobalUnlock, GetVersionExW,
//                            HeapFree, IsDBCSLeadByteEx, SetThreadErrorMode
//   NULL                     GetProcessHeap, HeapAlloc, HeapReAlloc (the block
//                            stays as it was), GetClipboardData, GlobalLock
//   INVALID_HANDLE_VALUE     GetStdHandle, CreateFileW, FindFirstFileW
//   0                        MessageBoxW (no box shown), MultiByteToWideChar,
//                            WideCharToMultiByte, GetLogicalDrives, wsprintfW
//                            (which writes the empty text), GlobalSize
//   FILE_TYPE_UNKNOWN        GetFileType
//   INVALID_FILE_ATTRIBUTES  GetFileAttributesW
//   ERROR_FILE_NOT_FOUND     RegOpenKeyExW (as for a key that is not there)
//   ERROR_ACCESS_DENIED      RegEnumValueW
//   ERROR_INVALID_HANDLE     RegCloseKey
// A failing ReadFile or WriteFile has moved up to half the bytes asked for
// and says so in its count, as a pipe broken half way does. A failing
// release (HeapFree, CloseHandle, FindClose, RegCloseKey, CloseClipboard,
// GlobalUnlock) reports the failure but releases all the same: its caller can
// do nothing else, and the leak check asks only whether it was called.
// HeapAlloc, HeapReAlloc and HeapFree on a heap other than the process heap
// (a null one from a failed GetProcessHeap) fail, and HeapFree then frees
// nothing; as Windows would fault on such a call, StillOpen reports it.
// Sleep, GetLocalTime, GetLastError and GetACP have no failure in Win32;
// asking for one is an error.
//
// Naming an operation the fake does not have, or asking an operation that
// cannot fail to fail, prints the name and aborts the test program at once:
// a test that injects nothing must not pass.
#pragma once

#include "platform/platform.h"

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace fake {

// One entry per operation of platform_operations.h, in its order.
enum class Op : uint8_t {
#define PLATFORM_OPERATION(result, name, parameters, failure) name,
#include "platform/platform_operations.h"
#undef PLATFORM_OPERATION
};
constexpr size_t OP_COUNT = 0
#define PLATFORM_OPERATION(result, name, parameters, failure) +1
#include "platform/platform_operations.h"
#undef PLATFORM_OPERATION
    ;

// The Win32 name of an operation, and the operation of a name (aborting on a
// name that is none).
const char* Name(Op op);
Op OpNamed(const std::string& name);
// False for the operations that have no failure (NEVER_FAILS in the list).
bool CanFail(Op op);

// One logged call: its operation, its numbers and handles in argument order
// (argCount of them, the rest 0), and its text argument where it has one.
struct Call {
    Op op;
    uint8_t argCount;
    intptr_t args[6];
    std::u16string text;
};
// A call's arguments as a list.
std::vector<intptr_t> Args(const Call& call);

struct Volume {
    std::u16string label;
    os::DWORD serial = 0;
};

struct RegistryValue {
    std::u16string name;
    std::u16string data;
};

struct Platform {
    // Every call in order (unless logCalls is off: the counts are kept
    // whatever it says), and the calls of each operation.
    bool logCalls = true;
    std::vector<Call> calls;
    size_t counts[OP_COUNT] = {};

    // The fault table: calls first..last (1-based, inclusive) of an
    // operation fail; first 0 means none. fired counts injected failures.
    struct Fault {
        size_t first = 0;
        size_t last = 0;
    };
    Fault faults[OP_COUNT] = {};
    size_t fired = 0;

    // Heap bookkeeping, so tests can see leaks and sizes.
    std::map<void*, size_t> liveBlocks;
    std::vector<size_t> allocationSizes;

    // What is open now: file handles, find handles and registry keys (in
    // opening order), the clipboard and its lock. releasesOfNothing counts
    // releases of a handle, key, block or clipboard that was not open,
    // callsOnNoHeap heap calls on a heap that is not the process heap.
    std::vector<os::HANDLE> openHandles;
    std::vector<os::HANDLE> openFinds;
    std::vector<os::HKEY> openKeys;
    int clipboardOpenDepth = 0;
    int clipboardLockDepth = 0;
    int releasesOfNothing = 0;
    int callsOnNoHeap = 0;

    // Message boxes shown.
    std::vector<std::u16string> messageBoxes;

    // The thread's last error (the hooks may set it) and error mode.
    os::DWORD lastError = 0;
    os::DWORD threadErrorMode = 0;

    // Standard streams: bytes written per standard handle id; the type of
    // every handle; reads from the pipe below, or through the hooks where
    // they are set.
    // The standard handles are their ids unless the hook gives others (NULL
    // in a process that has none); I/O on NULL or INVALID_HANDLE_VALUE fails
    // with ERROR_INVALID_HANDLE.
    std::map<intptr_t, std::string> written;
    std::function<os::HANDLE(os::DWORD)> getStdHandle;
    os::DWORD fileType = os::FILE_TYPE_PIPE;
    std::function<os::BOOL(os::HANDLE, void*, os::DWORD, os::DWORD*)> readFile;
    std::function<os::BOOL(os::HANDLE, os::DWORD*)> peekNamedPipe;
    // Standard input as a pipe: `waiting` has arrived and can be peeked; a
    // read that finds nothing waiting blocks until the next of `later`
    // arrives; once all is read, reads fail, and peeks too unless the writer
    // keeps the pipe open.
    struct Pipe {
        std::string waiting;
        std::deque<std::string> later;
        bool writerOpen = false;
    } pipe;
    std::function<os::BOOL(os::HANDLE, const void*, os::DWORD, os::DWORD*)> writeFile;
    // Code pages. Code page 0 is the ANSI code page: 1252, 932 (Shift_JIS,
    // whose lead bytes IsDBCSLeadByteEx knows) or 65001 (the system's "Use
    // Unicode UTF-8" choice). As Windows documents, UTF-8 takes no flags but
    // MB_ERR_INVALID_CHARS and has no lead bytes. The lead byte hook, when
    // set, answers instead; the conversion hook sees the bytes first.
    uint32_t ansiCodePage = 1252;
    std::function<os::BOOL(uint32_t, uint8_t)> isDBCSLeadByte;
    std::function<void(uint32_t, const char*, int32_t)> multiByteSeen;

    // Files and times. A handle the hooks return (other than
    // INVALID_HANDLE_VALUE) is open until closed.
    std::function<os::HANDLE(const char16_t*)> createFile;
    std::function<os::BOOL(os::HANDLE, os::BY_HANDLE_FILE_INFORMATION*)> getFileInformation;
    std::function<os::HANDLE(const char16_t*, os::WIN32_FIND_DATAW*)> findFirstFile;
    std::function<os::BOOL(const os::FILETIME*, os::FILETIME*)> fileTimeToLocal;
    std::function<os::BOOL(const os::FILETIME*, os::SYSTEMTIME*)> fileTimeToSystem;
    os::SYSTEMTIME localTime{2024, 3, 2, 5, 9, 7, 4, 0};

    // Drives: the mask, existing paths (the hook, when set, answers instead
    // of the map), volumes by letter (a letter without a volume reads as a
    // drive with no medium).
    os::DWORD logicalDrives = 0;
    std::map<std::u16string, os::DWORD> fileAttributes;
    std::function<os::DWORD(const char16_t*)> getFileAttributes;
    std::map<char16_t, Volume> volumes;
    // Drives that answer a volume or attribute query with an error:
    // ERROR_NOT_READY for a removable drive without media, which raises the
    // system's critical error box (counted in systemBoxes) unless the
    // thread's error mode holds SEM_FAILCRITICALERRORS; ERROR_BAD_NETPATH
    // for an unreachable network drive.
    std::map<char16_t, os::DWORD> driveErrors;
    int systemBoxes = 0;
    // The bits of the thread's error mode that were on at every other
    // platform call of the run.
    os::DWORD errorModeKept = ~0u;

    // Clipboard: the block holds clipboardText, of which GlobalSize counts
    // clipboardBlockUnits units (0: the text and its NUL).
    bool clipboardHasText = false;
    bool clipboardHeldElsewhere = false; // OpenClipboard fails
    std::u16string clipboardText;
    size_t clipboardBlockUnits = 0;

    // Version.
    os::OSVERSIONINFOW version{276, 10, 0, 19045, 2, {0}};

    // Registry: the values of the Eras key in enumeration order.
    std::vector<RegistryValue> registryValues;
};

Platform& State();
// The plain default world, hooks and run: everything as it was at the start.
void Reset();
// Forgets the run, what was done since the last Reset or ForgetRun: the
// calls, their counts and the numbering that faults refer to, the faults,
// what is open (freeing the heap blocks), the boxes shown, the error mode
// bits kept and the bytes written. The world and the hooks stay, and the containers keep their
// memory, so that many runs over one world allocate nothing of the fake's own.
void ForgetRun();

// Fails the nth call (1-based) of op; with fromThenOn, that call and every
// later one. Replaces the operation's earlier fault.
void FailNth(Op op, int nth, bool fromThenOn = false);
void FailNth(const std::string& op, int nth, bool fromThenOn = false);
// Fails calls first..last of op: so many failures, then success.
void FailCalls(Op op, int first, int last);

// How many injected failures have fired since Reset or ForgetRun.
size_t Fired();

// How many calls of an operation were made (since Reset or ForgetRun).
size_t Count(Op op);
size_t Count(const std::string& op);

// The operations called, in order, optionally only those in the list.
std::vector<std::string> Ops(const std::vector<std::string>& only = {});

// What is still open, one phrase each ("2 heap blocks, 1 registry key"), or
// the empty text when everything opened was released exactly once.
std::string StillOpen();

} // namespace fake
