// Test backend: every platform operation is recorded and can be scripted.
//
// Each operation first appends a Call to fake::State().calls, then asks the
// fault table (failing the Nth call of an operation, SQLite style), then runs
// the test's hook if one is set, and otherwise a plain default: the heap on
// malloc, formatting and conversion as the POSIX backend does them, and a
// world in which no file, drive, clipboard, pipe or registry key exists.
// Tests call fake::Reset() first.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace fake {

struct Call {
    std::string op;
    std::vector<intptr_t> args; // numbers and handles, in argument order
    std::u16string text;        // the text argument, where there is one
};

struct Volume {
    std::u16string label;
    os::DWORD serial = 0;
    bool readable = true;
};

struct RegistryValue {
    std::u16string name;
    std::u16string data;
};

struct Platform {
    std::vector<Call> calls;

    // Fault injection: fail the Nth call (1-based) of an operation; with
    // keepFailing, that call and every later one fail.
    struct Fault {
        int nth = 0;
        bool keepFailing = false;
    };
    std::map<std::string, Fault> faults;

    // Heap bookkeeping, so tests can see leaks and sizes.
    std::map<void*, size_t> liveBlocks;
    std::vector<size_t> allocationSizes;

    // Message boxes shown.
    std::vector<std::u16string> messageBoxes;

    // Standard streams: bytes written per standard handle id; scripted reads.
    std::map<intptr_t, std::string> written;
    std::function<os::BOOL(os::HANDLE, void*, os::DWORD, os::DWORD*)> readFile;
    std::function<os::BOOL(os::HANDLE, os::DWORD*)> peekNamedPipe;
    std::function<os::BOOL(os::HANDLE, const void*, os::DWORD, os::DWORD*)> writeFile;
    // Code pages: lead bytes (none by default: code page 0 is Windows-1252) and
    // a conversion hook that sees the bytes before the default converts them.
    std::function<os::BOOL(uint32_t, uint8_t)> isDBCSLeadByte;
    std::function<void(uint32_t, const char*, int32_t)> multiByteSeen;

    // Files and times.
    std::function<os::HANDLE(const char16_t*)> createFile;
    std::function<os::BOOL(os::HANDLE, os::BY_HANDLE_FILE_INFORMATION*)> getFileInformation;
    std::function<os::HANDLE(const char16_t*, os::WIN32_FIND_DATAW*)> findFirstFile;
    std::function<os::BOOL(const os::FILETIME*, os::FILETIME*)> fileTimeToLocal;
    std::function<os::BOOL(const os::FILETIME*, os::SYSTEMTIME*)> fileTimeToSystem;
    os::SYSTEMTIME localTime{2024, 3, 2, 5, 9, 7, 4, 0};

    // Drives: the mask, existing paths, volumes by letter.
    os::DWORD logicalDrives = 0;
    std::map<std::u16string, os::DWORD> fileAttributes;
    std::map<char16_t, Volume> volumes;

    // Clipboard: how many opens fail before one succeeds (-1: never opens).
    int clipboardOpenFailures = 0;
    bool clipboardHasText = false;
    std::u16string clipboardText;
    bool clipboardLockFails = false;
    int clipboardOpenDepth = 0;
    int clipboardLockDepth = 0;

    // Version.
    os::OSVERSIONINFOW version{276, 10, 0, 19045, 2, {0}};

    // Registry: whether the Eras key opens, and its values in enumeration order.
    bool registryKeyExists = false;
    std::vector<RegistryValue> registryValues;
    int openKeys = 0;
};

Platform& State();
void Reset();

// How many calls of an operation were made.
size_t Count(const std::string& op);

// The operations called, in order, optionally only those in the list.
std::vector<std::string> Ops(const std::vector<std::string>& only = {});

void FailNth(const std::string& op, int nth, bool keepFailing = false);

} // namespace fake
