// POSIX backend, registry: only the list of Japanese eras exists. It is read
// from the UTF-8 text file named by the environment variable MURLIN_ERAS, one
// value a line as name=data, the file's order being the enumeration order.
// Without the variable the key does not open. Names and data are checked
// against the caller's buffers as Windows checks them.
#include "platform/posix/posix_file_bytes.h"
#include "platform/posix/posix_handles.h"
#include "platform/win32_emulation/codepage.h"
#include "platform/platform.h"

#include <stdlib.h>
#include <string.h>

namespace {

constexpr uint32_t KEY_TAG = 0x45524153; // "ERAS"
constexpr os::DWORD REG_SZ = 1;
constexpr size_t MAX_FILE_BYTES = 1 << 20;

struct KeyRecord {
    uint32_t tag;
    char* file;         // the whole file, NUL-terminated
    const char* values; // its lines, after any byte order mark
};

char16_t Fold(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
}

// Key paths are compared without regard to ASCII case, as Windows does.
bool SameKey(const char16_t* a, const char16_t* b) {
    for (; Fold(*a) == Fold(*b); ++a, ++b)
        if (*a == 0) return true;
    return false;
}

// The line of the index-th value (lines without '=' hold none), as the
// start and length of its name and its data.
bool FindValue(const char* text, os::DWORD index, const char*& name, size_t& nameBytes,
               const char*& data, size_t& dataBytes) {
    os::DWORD seen = 0;
    for (const char* line = text; *line != 0;) {
        const char* end = strchr(line, '\n');
        if (end == nullptr) end = line + strlen(line);
        const char* next = *end == 0 ? end : end + 1;
        if (end > line && end[-1] == '\r') --end;
        const char* equals = static_cast<const char*>(memchr(line, '=', end - line));
        if (equals != nullptr && seen++ == index) {
            name = line;
            nameBytes = static_cast<size_t>(equals - line);
            data = equals + 1;
            dataBytes = static_cast<size_t>(end - data);
            return true;
        }
        line = next;
    }
    return false;
}

// UTF-16 of a piece of UTF-8 into a heap block; the units without the NUL.
char16_t* Widen(const char* bytes, size_t count, int32_t& units) {
    char* piece = static_cast<char*>(malloc(count + 1));
    char16_t* wide = static_cast<char16_t*>(malloc((count + 1) * sizeof(char16_t)));
    units = -1;
    if (piece != nullptr && wide != nullptr) {
        memcpy(piece, bytes, count);
        piece[count] = 0;
        units = Utf8ToUtf16(piece, wide, static_cast<int32_t>(count + 1));
    }
    free(piece);
    if (units < 0) {
        free(wide);
        return nullptr;
    }
    return wide;
}

} // namespace

namespace os {

LONG RegOpenKeyExW(HKEY root, const char16_t* subKey, DWORD, DWORD, HKEY* key) {
    const char* path = getenv("MURLIN_ERAS");
    if (root != HkeyLocalMachine() || subKey == nullptr || !SameKey(subKey, JAPANESE_ERAS_KEY) ||
        path == nullptr || path[0] == 0)
        return ERROR_FILE_NOT_FOUND;
    size_t size = 0;
    char* file = ReadFileBytes(path, MAX_FILE_BYTES, &size);
    if (file == nullptr) return ERROR_FILE_NOT_FOUND;
    auto* record = static_cast<KeyRecord*>(malloc(sizeof(KeyRecord)));
    if (record == nullptr) {
        free(file);
        return 14; // ERROR_OUTOFMEMORY
    }
    record->tag = KEY_TAG;
    record->file = file;
    record->values = file + ByteOrderMarkLength(file, size);
    *key = record;
    return ERROR_SUCCESS;
}

LONG RegEnumValueW(HKEY key, DWORD index, char16_t* name, DWORD* nameCount, DWORD*, DWORD* type,
                   uint8_t* data, DWORD* dataSize) {
    auto* record = Own<KeyRecord>(key, KEY_TAG);
    if (record == nullptr || name == nullptr || nameCount == nullptr)
        return 6; // ERROR_INVALID_HANDLE
    const char* nameBytes = nullptr;
    const char* dataBytes = nullptr;
    size_t nameLength = 0;
    size_t dataLength = 0;
    if (!FindValue(record->values, index, nameBytes, nameLength, dataBytes, dataLength))
        return ERROR_NO_MORE_ITEMS;

    int32_t nameUnits = 0;
    int32_t dataUnits = 0;
    char16_t* wideName = Widen(nameBytes, nameLength, nameUnits);
    char16_t* wideData = Widen(dataBytes, dataLength, dataUnits);
    LONG status = ERROR_SUCCESS;
    DWORD neededBytes = static_cast<DWORD>((dataUnits + 1) * sizeof(char16_t));
    if (wideName == nullptr || wideData == nullptr) {
        status = 14; // ERROR_OUTOFMEMORY
    } else if (static_cast<DWORD>(nameUnits) + 1 > *nameCount) {
        status = ERROR_MORE_DATA;
    } else if (data != nullptr && (dataSize == nullptr || neededBytes > *dataSize)) {
        status = ERROR_MORE_DATA;
        if (dataSize != nullptr) *dataSize = neededBytes;
    } else {
        memcpy(name, wideName, (static_cast<size_t>(nameUnits) + 1) * sizeof(char16_t));
        *nameCount = static_cast<DWORD>(nameUnits);
        if (data != nullptr) memcpy(data, wideData, neededBytes);
        if (dataSize != nullptr) *dataSize = neededBytes;
        if (type != nullptr) *type = REG_SZ;
    }
    free(wideName);
    free(wideData);
    return status;
}

LONG RegCloseKey(HKEY key) {
    auto* record = Own<KeyRecord>(key, KEY_TAG);
    if (record == nullptr) return 6; // ERROR_INVALID_HANDLE
    record->tag = 0;
    free(record->file);
    free(record);
    return ERROR_SUCCESS;
}

} // namespace os
