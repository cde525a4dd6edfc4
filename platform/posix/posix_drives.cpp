// POSIX backend, drives. Drive letters map to directories:
//
//   MURLIN_DRIVES="C=/|System;D=/mnt/data|DATA|1A2B3C4D"
//
// entries separated by semicolons, each LETTER=DIRECTORY, optionally followed
// by |LABEL and |SERIAL (eight hexadecimal digits). Without the variable C:
// is the root directory with an empty label. A drive without a serial number
// gets its file system's id. A drive whose directory is missing is present
// but unreadable, like a drive without its medium.
#include "platform/posix/posix_drives.h"
#include "platform/win32_emulation/codepage.h"
#include "platform/platform.h"

#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {

constexpr size_t PATH_BYTES = 4096;
constexpr size_t LABEL_BYTES = 1024;

struct DriveEntry {
    char letter; // upper case; 0 when there is no such drive
    char directory[PATH_BYTES];
    char label[LABEL_BYTES];
    bool hasSerial;
    uint32_t serial;
};

char UpperLetter(uint32_t c) {
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c);
    return 0;
}

// Copies [begin, end) with a NUL; false when it does not fit.
bool CopyField(const char* begin, const char* end, char* out, size_t size) {
    size_t n = static_cast<size_t>(end - begin);
    if (n + 1 > size) return false;
    memcpy(out, begin, n);
    out[n] = 0;
    return true;
}

bool ParseSerial(const char* begin, const char* end, uint32_t* serial) {
    if (end - begin != 8) return false;
    uint32_t value = 0;
    for (const char* p = begin; p != end; ++p) {
        char c = *p;
        uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<uint32_t>(c - 'A' + 10);
        else
            return false;
        value = value * 16 + digit;
    }
    *serial = value;
    return true;
}

// Parses one entry "L=DIR[|LABEL[|SERIAL]]" in [begin, end).
bool ParseEntry(const char* begin, const char* end, DriveEntry* entry) {
    if (end - begin < 2 || begin[1] != '=') return false;
    entry->letter = UpperLetter(static_cast<unsigned char>(begin[0]));
    if (entry->letter == 0) return false;
    const char* field = begin + 2;
    const char* bar =
        static_cast<const char*>(memchr(field, '|', static_cast<size_t>(end - field)));
    const char* directoryEnd = bar != nullptr ? bar : end;
    if (directoryEnd == field || !CopyField(field, directoryEnd, entry->directory, PATH_BYTES))
        return false;
    entry->label[0] = 0;
    entry->hasSerial = false;
    if (bar == nullptr) return true;
    field = bar + 1;
    bar = static_cast<const char*>(memchr(field, '|', static_cast<size_t>(end - field)));
    const char* labelEnd = bar != nullptr ? bar : end;
    if (!CopyField(field, labelEnd, entry->label, LABEL_BYTES)) return false;
    if (bar == nullptr) return true;
    entry->hasSerial = ParseSerial(bar + 1, end, &entry->serial);
    return entry->hasSerial;
}

// The drives MURLIN_DRIVES names, each entry that parses read into *entry and
// handed to visit in order until visit returns true; true then. Without the
// variable, drive C: alone, the root directory. The entry is the caller's,
// so that a found drive is not copied.
template <typename Visit> bool VisitDriveEntries(DriveEntry* entry, Visit visit) {
    const char* drives = getenv("MURLIN_DRIVES");
    if (drives == nullptr) {
        entry->letter = 'C';
        CopyField("/", "/" + 1, entry->directory, PATH_BYTES);
        entry->label[0] = 0;
        entry->hasSerial = false;
        entry->serial = 0;
        return visit(*entry);
    }
    const char* p = drives;
    while (*p != 0) {
        const char* end = strchr(p, ';');
        if (end == nullptr) end = p + strlen(p);
        if (ParseEntry(p, end, entry) && visit(*entry)) return true;
        p = *end == ';' ? end + 1 : end;
    }
    return false;
}

// Finds the drive of a letter (either case); the first entry for it wins.
bool FindDriveEntry(uint32_t letter, DriveEntry* entry) {
    char wanted = UpperLetter(letter);
    if (wanted == 0) return false;
    return VisitDriveEntries(entry, [&](const DriveEntry& e) { return e.letter == wanted; });
}

} // namespace

bool PosixPathOf(const char16_t* path, char* out, size_t size) {
    char utf8[PATH_BYTES];
    if (path == nullptr || Utf16ToUtf8(path, utf8, sizeof utf8) < 0) return false;
    const char* rest = utf8;
    size_t used = 0;
    if (utf8[0] != 0 && utf8[1] == ':') {
        DriveEntry entry;
        if (!FindDriveEntry(static_cast<unsigned char>(utf8[0]), &entry)) return false;
        used = strlen(entry.directory);
        if (used + 1 > size) return false;
        memcpy(out, entry.directory, used);
        rest = utf8 + 2;
        // "C:\x" under "/" must not become "//x".
        if (used > 0 && out[used - 1] == '/' && (*rest == '\\' || *rest == '/')) ++rest;
    }
    for (; *rest != 0; ++rest) {
        if (used + 1 >= size) return false;
        out[used++] = *rest == '\\' ? '/' : *rest;
    }
    out[used] = 0;
    return true;
}

namespace os {

// One walk over the variable, not one for each of the 26 letters.
DWORD GetLogicalDrives() {
    DWORD mask = 0;
    DriveEntry scratch;
    VisitDriveEntries(&scratch, [&](const DriveEntry& entry) {
        mask |= 1u << (entry.letter - 'A');
        return false;
    });
    return mask;
}

DWORD GetFileAttributesW(const char16_t* path) {
    char posix[PATH_BYTES];
    struct stat info;
    if (!PosixPathOf(path, posix, sizeof posix) || posix[0] == 0 || stat(posix, &info) != 0)
        return INVALID_FILE_ATTRIBUTES;
    return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

BOOL GetVolumeInformationW(const char16_t* root, char16_t* label, DWORD labelSize, DWORD* serial,
                           DWORD* maxComponentLength, DWORD* fileSystemFlags,
                           char16_t* fileSystemName, DWORD fileSystemNameSize) {
    DriveEntry entry;
    if (root == nullptr || root[0] == 0 || root[1] != u':' || !FindDriveEntry(root[0], &entry))
        return 0;
    struct statvfs fs;
    if (statvfs(entry.directory, &fs) != 0) return 0;
    if (label != nullptr && Utf8ToUtf16(entry.label, label, static_cast<int32_t>(labelSize)) < 0)
        return 0;
    if (serial != nullptr) *serial = entry.hasSerial ? entry.serial : static_cast<DWORD>(fs.f_fsid);
    if (maxComponentLength != nullptr) *maxComponentLength = static_cast<DWORD>(fs.f_namemax);
    if (fileSystemFlags != nullptr) *fileSystemFlags = 0;
    if (fileSystemName != nullptr && fileSystemNameSize > 0) fileSystemName[0] = 0;
    return 1;
}

} // namespace os
