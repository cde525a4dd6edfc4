// The platform under the fuzz targets: the whole world of one input in one
// plain record, and every operation a few instructions over it. No call log
// and no hooks: a run costs what the handler costs, so that libFuzzer gets
// tens of thousands of runs a second.
//
// Each operation counts its calls; one fault per run makes the Nth call of
// one operation fail, or every call from the Nth on, with the operation's own
// failure value. What the module takes (heap blocks, handles, searches, keys,
// the clipboard and its lock) is counted, so a run can tell what it left open.
#pragma once

#include "platform/platform.h"

#include <stddef.h>
#include <stdint.h>

namespace fuzz {

// The operations that can fail, each as its Win32 function does (Sleep and
// GetLocalTime cannot). A failing ReadFile or WriteFile has moved half the
// bytes asked for, as a pipe broken half way does; a failing release
// releases all the same.
enum Op : uint8_t {
    OP_GET_PROCESS_HEAP,
    OP_HEAP_ALLOC,
    OP_HEAP_REALLOC,
    OP_HEAP_FREE,
    OP_MESSAGE_BOX,
    OP_WSPRINTF,
    OP_GET_STD_HANDLE,
    OP_READ_FILE,
    OP_WRITE_FILE,
    OP_PEEK_NAMED_PIPE,
    OP_MULTI_BYTE_TO_WIDE_CHAR,
    OP_WIDE_CHAR_TO_MULTI_BYTE,
    OP_IS_DBCS_LEAD_BYTE,
    OP_CREATE_FILE,
    OP_GET_FILE_INFORMATION,
    OP_CLOSE_HANDLE,
    OP_FIND_FIRST_FILE,
    OP_FIND_CLOSE,
    OP_FILE_TIME_TO_LOCAL,
    OP_FILE_TIME_TO_SYSTEM,
    OP_GET_LOGICAL_DRIVES,
    OP_GET_FILE_ATTRIBUTES,
    OP_GET_VOLUME_INFORMATION,
    OP_OPEN_CLIPBOARD,
    OP_GET_CLIPBOARD_DATA,
    OP_CLOSE_CLIPBOARD,
    OP_GLOBAL_LOCK,
    OP_GLOBAL_UNLOCK,
    OP_GET_VERSION,
    OP_REG_OPEN_KEY,
    OP_REG_ENUM_VALUE,
    OP_REG_CLOSE_KEY,
    OP_COUNT
};

struct Volume {
    const char16_t* label; // NUL-terminated
    os::DWORD serial;
    bool readable;
};

struct World {
    // The one fault: op OP_COUNT injects nothing.
    uint8_t faultOp = OP_COUNT;
    uint32_t faultNth = 0;
    bool faultFromThenOn = false;
    uint32_t calls[OP_COUNT] = {};

    // Standard input: the bytes of a pipe (or of a file or console, which
    // cannot be peeked), and the pauses after which its writer closes it.
    const uint8_t* input = nullptr;
    size_t inputSize = 0;
    size_t inputRead = 0;
    bool inputIsPipe = true;
    uint32_t pausesBeforeClose = 0;
    uint32_t pauses = 0;
    uint64_t bytesWritten = 0;
    bool ansiIsDoubleByte = false; // lead bytes 0x81-0x9F and 0xE0-0xFC

    // Files: whether the name opens, is found by a search, and its times.
    bool fileOpens = false;
    bool fileFound = false;
    os::FILETIME times[3] = {};
    os::SYSTEMTIME now{2024, 3, 2, 5, 9, 7, 4, 0};

    os::DWORD drives = 0;
    bool pathsExist = false;
    Volume volumes[26] = {};

    int clipboardBusy = 0; // opens that fail before one succeeds
    const char16_t* clipboardText = nullptr;

    os::OSVERSIONINFOW version{276, 10, 0, 19045, 2, {u'S', u'P', u'1', 0}};

    bool registryOpens = false;
    struct Value {
        const char16_t* name;
        const char16_t* data;
    };
    const Value* values = nullptr;
    size_t valueCount = 0;

    // What the module holds.
    int64_t heapBlocks = 0;
    int64_t handles = 0;
    int64_t searches = 0;
    int64_t keys = 0;
    int64_t clipboardOpen = 0;
    int64_t clipboardLocks = 0;
    // Heap calls on a heap that is not the process heap (a null one from a
    // failed GetProcessHeap): Windows would fault on them.
    int64_t noHeapCalls = 0;
};

// The world of the current run; the target fills it before each call.
World& Now();

extern const char* const OP_NAMES[OP_COUNT];

} // namespace fuzz
