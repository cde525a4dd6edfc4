// A readable page followed by one that faults when read, for placing a text
// so that its NUL is the last unit before the hole: mmap and mprotect, or
// VirtualAlloc and VirtualProtect, so that the Windows builds' scans are
// tried under Wine as they ship.
#pragma once

#include <algorithm>
#include <string>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

struct PageBeforeAHole {
#if defined(_WIN32)
    size_t page = 4096;
    char* base = static_cast<char*>(
        VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    PageBeforeAHole() {
        DWORD old;
        if (base != nullptr) VirtualProtect(base + page, page, PAGE_NOACCESS, &old);
    }
    ~PageBeforeAHole() {
        if (base != nullptr) VirtualFree(base, 0, MEM_RELEASE);
    }
    bool Usable() const {
        return base != nullptr;
    }
#else
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    char* base = static_cast<char*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    PageBeforeAHole() {
        if (base != MAP_FAILED) mprotect(base + page, page, PROT_NONE);
    }
    ~PageBeforeAHole() {
        if (base != MAP_FAILED) munmap(base, 2 * page);
    }
    bool Usable() const {
        return base != MAP_FAILED;
    }
#endif
    PageBeforeAHole(const PageBeforeAHole&) = delete;
    PageBeforeAHole& operator=(const PageBeforeAHole&) = delete;
    // The text with its NUL, placed so that `shortBy` units lie between its
    // NUL and the hole.
    const char16_t* PlaceAtEnd(const std::u16string& text, size_t shortBy) {
        size_t units = text.size() + 1;
        auto* at = reinterpret_cast<char16_t*>(base + page) - units - shortBy;
        std::copy(text.c_str(), text.c_str() + units, at);
        return at;
    }
};
