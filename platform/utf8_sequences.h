// What a UTF-8 sequence is made of, told by its first byte: data only, shared
// by the stand-ins' converter and the standard input handler's rule for
// where a block of input cuts a character, so that the two cannot drift. It
// stands beside platform.h because the module reads it too.
#pragma once

#include <stdint.h>

// A first byte's sequence: how many continuation bytes follow it, and the
// range the first of them must lie in. E0, ED, F0 and F4 narrow that range
// to shut out overlong forms, surrogates and values beyond U+10FFFF. A byte
// that starts no sequence (80..C1, F5..FF) has no continuation bytes.
struct Utf8Lead {
    uint8_t continuations;
    uint8_t low;
    uint8_t high;
};

constexpr bool IsUtf8Continuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

constexpr Utf8Lead Utf8LeadOf(uint8_t byte) {
    if (byte >= 0xC2 && byte <= 0xDF) return {1, 0x80, 0xBF};
    if (byte == 0xE0) return {2, 0xA0, 0xBF};
    if (byte == 0xED) return {2, 0x80, 0x9F};
    if (byte >= 0xE1 && byte <= 0xEF) return {2, 0x80, 0xBF};
    if (byte == 0xF0) return {3, 0x90, 0xBF};
    if (byte == 0xF4) return {3, 0x80, 0x8F};
    if (byte >= 0xF1 && byte <= 0xF3) return {3, 0x80, 0xBF};
    return {0, 0, 0};
}

// The bits of the code point a first byte carries.
constexpr uint32_t Utf8LeadBits(uint8_t byte, uint8_t continuations) {
    return byte & (0x7Fu >> (continuations + 1));
}
