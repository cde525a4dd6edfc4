// The list of the platform's operations, one line each, in one place: the
// declarations of platform.h and every per-operation table of the test
// platform (its operation enum, names and faults) are made from it. A new
// operation is one line here and one definition in each backend.
//
// No include guard: each user defines
//   PLATFORM_OPERATION(result, name, parameters, failure)
// includes this file, and undefines it. failure is FAILS for an operation
// whose Win32 function can fail, NEVER_FAILS for one that cannot.
//
// Each comment tells the contract of the operations under it.

// The process heap.
PLATFORM_OPERATION(HANDLE, GetProcessHeap, (), FAILS)
PLATFORM_OPERATION(void*, HeapAlloc, (HANDLE heap, DWORD flags, uintptr_t bytes), FAILS)
PLATFORM_OPERATION(void*, HeapReAlloc, (HANDLE heap, DWORD flags, void* block, uintptr_t bytes),
                   FAILS)
PLATFORM_OPERATION(BOOL, HeapFree, (HANDLE heap, DWORD flags, void* block), FAILS)

// Messages and formatting. wsprintfW writes at most 1023 units and a NUL and
// returns the units written, the NUL not counted.
PLATFORM_OPERATION(int32_t, MessageBoxW,
                   (HWND owner, const char16_t* text, const char16_t* caption, uint32_t type),
                   FAILS)
PLATFORM_OPERATION(int32_t, wsprintfW, (char16_t* buffer, const char16_t* format, ...), FAILS)

// The calling thread's code of its last failure, as the failing call left it.
PLATFORM_OPERATION(DWORD, GetLastError, (), NEVER_FAILS)

// The calling thread's error mode is set to newMode; its mode before goes to
// oldMode (which may be null). FALSE, with nothing changed, for a mode with
// flags other than the SEM_* of platform.h.
PLATFORM_OPERATION(BOOL, SetThreadErrorMode, (DWORD newMode, DWORD* oldMode), FAILS)

// Standard handles and pipes. GetStdHandle takes a STD_* id; the handle it
// gives is not closed by the module. GetFileType tells a FILE_TYPE_DISK file
// from a FILE_TYPE_PIPE, a FILE_TYPE_CHAR console or device, and gives
// FILE_TYPE_UNKNOWN on failure.
PLATFORM_OPERATION(HANDLE, GetStdHandle, (DWORD id), FAILS)
PLATFORM_OPERATION(DWORD, GetFileType, (HANDLE file), FAILS)
PLATFORM_OPERATION(BOOL, ReadFile,
                   (HANDLE file, void* buffer, DWORD bytesToRead, DWORD* bytesRead,
                    void* overlapped),
                   FAILS)
PLATFORM_OPERATION(BOOL, WriteFile,
                   (HANDLE file, const void* buffer, DWORD bytesToWrite, DWORD* bytesWritten,
                    void* overlapped),
                   FAILS)
PLATFORM_OPERATION(BOOL, PeekNamedPipe,
                   (HANDLE pipe, void* buffer, DWORD bufferSize, DWORD* bytesRead,
                    DWORD* totalBytesAvail, DWORD* bytesLeftThisMessage),
                   FAILS)
PLATFORM_OPERATION(void, Sleep, (DWORD milliseconds), NEVER_FAILS)

// Code page conversion.
PLATFORM_OPERATION(int32_t, MultiByteToWideChar,
                   (uint32_t codePage, DWORD flags, const char* bytes, int32_t byteCount,
                    char16_t* wide, int32_t wideCount),
                   FAILS)
PLATFORM_OPERATION(int32_t, WideCharToMultiByte,
                   (uint32_t codePage, DWORD flags, const char16_t* wide, int32_t wideCount,
                    char* bytes, int32_t byteCount, const char* defaultChar, BOOL* usedDefaultChar),
                   FAILS)
// True when the byte starts a two-byte character of the code page.
PLATFORM_OPERATION(BOOL, IsDBCSLeadByteEx, (uint32_t codePage, uint8_t testChar), FAILS)
// The system's ANSI code page, the one CP_ACP stands for.
PLATFORM_OPERATION(uint32_t, GetACP, (), NEVER_FAILS)

// Files and times.
PLATFORM_OPERATION(HANDLE, CreateFileW,
                   (const char16_t* name, DWORD access, DWORD shareMode, void* security,
                    DWORD disposition, DWORD flags, HANDLE templateFile),
                   FAILS)
PLATFORM_OPERATION(BOOL, GetFileInformationByHandle,
                   (HANDLE file, BY_HANDLE_FILE_INFORMATION* info), FAILS)
PLATFORM_OPERATION(BOOL, CloseHandle, (HANDLE handle), FAILS)
PLATFORM_OPERATION(HANDLE, FindFirstFileW, (const char16_t* name, WIN32_FIND_DATAW* data), FAILS)
PLATFORM_OPERATION(BOOL, FindClose, (HANDLE search), FAILS)
PLATFORM_OPERATION(BOOL, FileTimeToLocalFileTime, (const FILETIME* utc, FILETIME* local), FAILS)
PLATFORM_OPERATION(BOOL, FileTimeToSystemTime, (const FILETIME* time, SYSTEMTIME* split), FAILS)
PLATFORM_OPERATION(void, GetLocalTime, (SYSTEMTIME * now), NEVER_FAILS)

// Drives.
PLATFORM_OPERATION(DWORD, GetLogicalDrives, (), FAILS)
PLATFORM_OPERATION(DWORD, GetFileAttributesW, (const char16_t* path), FAILS)
PLATFORM_OPERATION(BOOL, GetVolumeInformationW,
                   (const char16_t* root, char16_t* label, DWORD labelSize, DWORD* serial,
                    DWORD* maxComponentLength, DWORD* fileSystemFlags, char16_t* fileSystemName,
                    DWORD fileSystemNameSize),
                   FAILS)

// The clipboard and its memory. The block of GetClipboardData belongs to the
// clipboard and stays valid only until CloseClipboard. Another program put
// it there: its text need not end in a NUL within the block's GlobalSize
// bytes (0 on failure).
PLATFORM_OPERATION(BOOL, OpenClipboard, (HWND owner), FAILS)
PLATFORM_OPERATION(HANDLE, GetClipboardData, (uint32_t format), FAILS)
PLATFORM_OPERATION(BOOL, CloseClipboard, (), FAILS)
PLATFORM_OPERATION(void*, GlobalLock, (HGLOBAL memory), FAILS)
PLATFORM_OPERATION(BOOL, GlobalUnlock, (HGLOBAL memory), FAILS)
PLATFORM_OPERATION(uintptr_t, GlobalSize, (HGLOBAL memory), FAILS)

// The operating system's version.
PLATFORM_OPERATION(BOOL, GetVersionExW, (OSVERSIONINFOW * info), FAILS)

// The registry, read only. A key opened here is closed with RegCloseKey.
// RegEnumValueW takes the name buffer's size in units (the NUL counted) and
// the data buffer's in bytes, and sets both to what it wrote.
PLATFORM_OPERATION(LONG, RegOpenKeyExW,
                   (HKEY root, const char16_t* subKey, DWORD options, DWORD access, HKEY* key),
                   FAILS)
PLATFORM_OPERATION(LONG, RegEnumValueW,
                   (HKEY key, DWORD index, char16_t* name, DWORD* nameCount, DWORD* reserved,
                    DWORD* type, uint8_t* data, DWORD* dataSize),
                   FAILS)
PLATFORM_OPERATION(LONG, RegCloseKey, (HKEY key), FAILS)
