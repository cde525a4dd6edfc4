// A readable page followed by one that faults when read, for placing a text
// so that its NUL is the last unit before the hole. POSIX only.
#pragma once

#if !defined(_WIN32)
#include <algorithm>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

struct PageBeforeAHole {
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    char* base = static_cast<char*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    PageBeforeAHole() {
        if (base != MAP_FAILED) mprotect(base + page, page, PROT_NONE);
    }
    ~PageBeforeAHole() {
        if (base != MAP_FAILED) munmap(base, 2 * page);
    }
    PageBeforeAHole(const PageBeforeAHole&) = delete;
    PageBeforeAHole& operator=(const PageBeforeAHole&) = delete;
    bool Usable() const { return base != MAP_FAILED; }
    // The text with its NUL, placed so that `shortBy` units lie between its
    // NUL and the hole.
    const char16_t* PlaceAtEnd(const std::u16string& text, size_t shortBy) {
        size_t units = text.size() + 1;
        auto* at = reinterpret_cast<char16_t*>(base + page) - units - shortBy;
        std::copy(text.c_str(), text.c_str() + units, at);
        return at;
    }
};
#endif
