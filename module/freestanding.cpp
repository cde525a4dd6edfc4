// The few routines the compiler emits calls to, for a DLL that links no C
// runtime. Built with -fno-builtin so that these loops are not turned back
// into calls to themselves.
#include <stddef.h>

extern "C" {

void* memcpy(void* destination, const void* source, size_t count) {
    auto* d = static_cast<unsigned char*>(destination);
    auto* s = static_cast<const unsigned char*>(source);
    while (count-- != 0)
        *d++ = *s++;
    return destination;
}

void* memmove(void* destination, const void* source, size_t count) {
    auto* d = static_cast<unsigned char*>(destination);
    auto* s = static_cast<const unsigned char*>(source);
    if (d < s) {
        while (count-- != 0)
            *d++ = *s++;
    } else {
        while (count-- != 0)
            d[count] = s[count];
    }
    return destination;
}

void* memset(void* destination, int value, size_t count) {
    auto* d = static_cast<unsigned char*>(destination);
    while (count-- != 0)
        *d++ = static_cast<unsigned char>(value);
    return destination;
}

int memcmp(const void* a, const void* b, size_t count) {
    auto* x = static_cast<const unsigned char*>(a);
    auto* y = static_cast<const unsigned char*>(b);
    for (; count != 0; --count, ++x, ++y)
        if (*x != *y) return *x < *y ? -1 : 1;
    return 0;
}

} // extern "C"
