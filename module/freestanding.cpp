// The few routines the compiler emits calls to, for a DLL that links no C
// runtime and no libgcc. Built with -fno-builtin so that these loops are not
// turned back into calls to themselves.
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

// The stack probe the compiler calls before making a frame larger than a
// page, with the frame's size in eax (rax): it touches the new frame a page
// at a time from the top, so that the stack's guard page moves down in
// order, and keeps every register. The x64 one carries unwind data for its
// two pushes: a stack overflow raised by its touch is unwound through it to
// the function that called it, and on to the host's handler.
#if defined(_WIN64)
asm(R"(
    .text
    .globl ___chkstk_ms
    .def ___chkstk_ms; .scl 2; .type 32; .endef
    .seh_proc ___chkstk_ms
___chkstk_ms:
    pushq %rcx
    .seh_pushreg %rcx
    pushq %rax
    .seh_pushreg %rax
    .seh_endprologue
    cmpq $0x1000, %rax
    leaq 24(%rsp), %rcx
    jb 2f
1:  subq $0x1000, %rcx
    orq $0, (%rcx)
    subq $0x1000, %rax
    cmpq $0x1000, %rax
    ja 1b
2:  subq %rax, %rcx
    orq $0, (%rcx)
    popq %rax
    popq %rcx
    ret
    .seh_endproc
)");
#elif defined(_WIN32)
asm(R"(
    .text
    .globl ___chkstk_ms
    .def ___chkstk_ms; .scl 2; .type 32; .endef
___chkstk_ms:
    pushl %ecx
    pushl %eax
    cmpl $0x1000, %eax
    leal 12(%esp), %ecx
    jb 2f
1:  subl $0x1000, %ecx
    orl $0, (%ecx)
    subl $0x1000, %eax
    cmpl $0x1000, %eax
    ja 1b
2:  subl %eax, %ecx
    orl $0, (%ecx)
    popl %eax
    popl %ecx
    ret
)");
#endif
