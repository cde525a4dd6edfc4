// Every operation of the system under the module, in one place. The module
// never calls the operating system any other way, so this header is the whole
// of its dependence on it.
//
// The build links exactly one backend:
//   platform/windows  the real Win32 calls (the DLLs)
//   platform/posix    stand-ins on POSIX (the Linux module)
//   platform/testing  a recording fake that tests script (unit tests)
//
// The operations are listed, with their contracts, in platform_operations.h.
// Names, arguments and results follow the Win32 functions they stand for, so
// handler code reads as the Windows program it is, and each function keeps
// its Win32 contract: who owns what, what may be null and what a failure
// returns are as Windows documents them, and every backend must keep them.
// Text is UTF-16 everywhere. Records are laid out as Win32 lays them out;
// the sizes are checked below.
#pragma once

#include <stdint.h>

namespace os {

typedef void* HANDLE;
typedef void* HWND;
typedef void* HKEY;
typedef void* HGLOBAL;
typedef int32_t BOOL;
typedef uint32_t DWORD;
typedef int32_t LONG;

inline HANDLE InvalidHandle() {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
}

constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
constexpr DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD FILE_READ_ATTRIBUTES = 0x80;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000u;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

constexpr uint32_t CP_ACP = 0;
constexpr uint32_t CP_UTF8 = 65001;
constexpr DWORD MB_PRECOMPOSED = 1;
constexpr uint32_t MB_OK = 0;

constexpr uint32_t CF_UNICODETEXT = 13;

constexpr DWORD FILE_TYPE_UNKNOWN = 0;
constexpr DWORD FILE_TYPE_DISK = 1;
constexpr DWORD FILE_TYPE_CHAR = 2;
constexpr DWORD FILE_TYPE_PIPE = 3;

// Thread error modes: SEM_FAILCRITICALERRORS keeps the system's "no disk in
// the drive" box away; the caller gets an error instead.
constexpr DWORD SEM_FAILCRITICALERRORS = 0x0001;
constexpr DWORD SEM_NOGPFAULTERRORBOX = 0x0002;
constexpr DWORD SEM_NOOPENFILEERRORBOX = 0x8000;

constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_BROKEN_PIPE = 109;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;

constexpr DWORD KEY_READ = 0x20019;
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline HKEY HkeyLocalMachine() {
    return reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u));
}

// The one registry key the module reads, under HKEY_LOCAL_MACHINE: the list
// of Japanese eras, one value an era, named "yyyy mm dd".
constexpr char16_t JAPANESE_ERAS_KEY[] =
    u"SYSTEM\\CurrentControlSet\\Control\\Nls\\Calendars\\Japanese\\Eras";

// 100-nanosecond ticks since 1601-01-01 00:00 (UTC unless converted).
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

// A date and time split into fields; wDayOfWeek counts from 0 = Sunday.
struct SYSTEMTIME {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};

// Filled by GetFileInformationByHandle. It begins, as WIN32_FIND_DATAW does,
// with the attributes and the three times.
struct BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
};

// Filled by FindFirstFileW; cFileName is NUL-terminated within its 260 units.
struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    char16_t cFileName[260];
    char16_t cAlternateFileName[14];
};

// Filled by GetVersionExW; the caller sets dwOSVersionInfoSize first.
// szCSDVersion is not promised to end in a NUL when the call fails.
struct OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char16_t szCSDVersion[128];
};

static_assert(sizeof(SYSTEMTIME) == 16, "SYSTEMTIME");
static_assert(sizeof(BY_HANDLE_FILE_INFORMATION) == 52, "BY_HANDLE_FILE_INFORMATION");
static_assert(sizeof(WIN32_FIND_DATAW) == 592, "WIN32_FIND_DATAW");
static_assert(sizeof(OSVERSIONINFOW) == 276, "OSVERSIONINFOW");

// The operations, declared from their list.
#define PLATFORM_OPERATION(result, name, parameters, failure) result name parameters;
#include "platform/platform_operations.h"
#undef PLATFORM_OPERATION

} // namespace os
