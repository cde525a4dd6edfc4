#include "platform/win32_emulation/codepage.h"
#include "platform/utf8_sequences.h"

#include <string.h>

namespace {

constexpr char16_t REPLACEMENT = 0xFFFD;
constexpr char DEFAULT_CHARACTER = '?';
constexpr uint32_t CP_UTF8 = 65001;

struct Cp1252Byte {
    char16_t unit;
    uint8_t byte;
};

#include "platform/win32_emulation/cp1252_table.inc"

int32_t ByteLength(const char* bytes, int32_t count) {
    if (count >= 0) return count;
    return static_cast<int32_t>(strlen(bytes)) + 1;
}

int32_t UnitCount(const char16_t* wide, int32_t count) {
    if (count >= 0) return count;
    int32_t n = 0;
    while (wide[n] != 0)
        ++n;
    return n + 1;
}

// The length of the run of ASCII at the front of [s, s + n), eight bytes (of
// bytes or of units) a round.
template <typename Unit> int32_t AsciiRun(const Unit* s, int32_t n) {
    constexpr int32_t perWord = 8 / sizeof(Unit);
    constexpr uint64_t notAscii = sizeof(Unit) == 1 ? 0x8080808080808080ull : 0xFF80FF80FF80FF80ull;
    int32_t i = 0;
    for (; i + perWord <= n; i += perWord) {
        uint64_t word;
        memcpy(&word, s + i, 8);
        if ((word & notAscii) != 0) break;
    }
    while (i < n && s[i] < 0x80)
        ++i;
    return i;
}

// Copies the run of ASCII at the front of from[0, n) to to; returns its
// length.
template <typename From, typename To> int32_t CopyAscii(const From* from, int32_t n, To* to) {
    int32_t run = AsciiRun(from, n);
    for (int32_t i = 0; i < run; ++i)
        to[i] = static_cast<To>(from[i]);
    return run;
}

// Counting sink: writes while there is room, remembers overflow.
template <typename Unit> struct Sink {
    Unit* out;
    int32_t room; // 0: measure only
    int32_t count = 0;
    bool overflow = false;
    void Put(Unit u) {
        if (room == 0) {
            ++count;
            return;
        }
        if (count >= room) {
            overflow = true;
            return;
        }
        out[count++] = u;
    }
    // Takes the run of ASCII at the front of from[0, n), as far as there is
    // room, in one tight loop; returns its length.
    template <typename From> int32_t TakeAscii(const From* from, int32_t n) {
        if (room == 0) {
            int32_t run = AsciiRun(from, n);
            count += run;
            return run;
        }
        int32_t limit = n < room - count ? n : room - count;
        int32_t run = CopyAscii(from, limit, out + count);
        count += run;
        if (run == limit && limit < n && from[limit] < 0x80) overflow = true;
        return run;
    }
    int32_t Result() const { return overflow ? 0 : count; }
};

void PutCodePoint(Sink<char16_t>& sink, uint32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        sink.Put(static_cast<char16_t>(0xD800 + (cp >> 10)));
        // The Windows builds keep the first half of a pair that fills the
        // output, and fail only when more input follows.
        if (sink.room != 0 && sink.count == sink.room) return;
        sink.Put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        sink.Put(static_cast<char16_t>(cp));
    }
}

// Reads one sequence at s[i], a byte of 0x80 or above; returns where the
// next one starts. The rules are those told in codepage.h.
int32_t DecodeSequence(const unsigned char* s, int32_t i, int32_t n, Sink<char16_t>& sink) {
    Utf8Lead lead = Utf8LeadOf(s[i]);
    if (lead.continuations == 0) {
        sink.Put(REPLACEMENT);
        return i + 1;
    }
    if (n - i - 1 < lead.continuations) {
        sink.Put(REPLACEMENT);
        return n;
    }
    uint32_t cp = Utf8LeadBits(s[i], lead.continuations);
    int32_t j = i + 1;
    for (int k = 0; k < lead.continuations; ++k, ++j) {
        if (!IsUtf8Continuation(s[j])) {
            sink.Put(REPLACEMENT);
            return j;
        }
        cp = (cp << 6) | (s[j] & 0x3F);
        if (k == 0 && (s[j] < lead.low || s[j] > lead.high)) {
            sink.Put(REPLACEMENT);
            return j + 1;
        }
    }
    PutCodePoint(sink, cp);
    return j;
}

void DecodeUtf8(const unsigned char* s, int32_t n, Sink<char16_t>& sink) {
    int32_t i = 0;
    while (i < n && !sink.overflow) {
        if (s[i] < 0x80) {
            i += sink.TakeAscii(s + i, n - i);
        } else {
            i = DecodeSequence(s, i, n, sink);
        }
    }
}

void Decode1252(const unsigned char* s, int32_t n, Sink<char16_t>& sink) {
    int32_t i = 0;
    while (i < n && !sink.overflow) {
        if (s[i] < 0x80) {
            i += sink.TakeAscii(s + i, n - i);
        } else {
            sink.Put(CP1252_HIGH_BYTES[s[i] - 0x80]);
            ++i;
        }
    }
}

void EncodeUtf8Point(Sink<char>& sink, uint32_t cp) {
    if (cp < 0x800) {
        sink.Put(static_cast<char>(0xC0 | (cp >> 6)));
        sink.Put(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        sink.Put(static_cast<char>(0xE0 | (cp >> 12)));
        sink.Put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        sink.Put(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        sink.Put(static_cast<char>(0xF0 | (cp >> 18)));
        sink.Put(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        sink.Put(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        sink.Put(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool IsHigh(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLow(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

void EncodeUtf8(const char16_t* w, int32_t n, Sink<char>& sink) {
    int32_t i = 0;
    while (i < n && !sink.overflow) {
        char16_t u = w[i];
        if (u < 0x80) {
            i += sink.TakeAscii(w + i, n - i);
        } else if (IsHigh(u) && i + 1 < n && IsLow(w[i + 1])) {
            EncodeUtf8Point(sink, 0x10000 + ((u - 0xD800u) << 10) + (w[i + 1] - 0xDC00u));
            i += 2;
        } else {
            EncodeUtf8Point(sink, IsHigh(u) || IsLow(u) ? REPLACEMENT : u);
            ++i;
        }
    }
}

// The byte of a unit at or above 0x80, or 0 when it has none.
uint8_t Cp1252ByteOf(char16_t u, bool noBestFit) {
    const Cp1252Byte* low = CP1252_FROM_UNITS;
    const Cp1252Byte* high = CP1252_FROM_UNITS + sizeof CP1252_FROM_UNITS / sizeof *low;
    while (low < high) {
        const Cp1252Byte* middle = low + (high - low) / 2;
        if (middle->unit < u)
            low = middle + 1;
        else
            high = middle;
    }
    if (low == CP1252_FROM_UNITS + sizeof CP1252_FROM_UNITS / sizeof *low || low->unit != u)
        return 0;
    // A best fit does not read back as the unit it was made from.
    if (noBestFit && (low->byte < 0x80 || CP1252_HIGH_BYTES[low->byte - 0x80] != u)) return 0;
    return low->byte;
}

void Encode1252(const char16_t* w, int32_t n, bool noBestFit, Sink<char>& sink, bool* usedDefault) {
    int32_t i = 0;
    while (i < n && !sink.overflow) {
        if (w[i] < 0x80) {
            i += sink.TakeAscii(w + i, n - i);
            continue;
        }
        uint8_t byte = Cp1252ByteOf(w[i], noBestFit);
        if (byte == 0) {
            *usedDefault = true;
            sink.Put(DEFAULT_CHARACTER);
        } else {
            sink.Put(static_cast<char>(byte));
        }
        ++i;
    }
}

// True when a NUL-terminated text cannot fit: every unit gives at least one
// byte, so a text with no NUL in its first byteCount + 1 units needs more
// than byteCount bytes. Saves measuring all of a long text that is bound to
// fail.
bool CannotFit(const char16_t* wide, int32_t byteCount) {
    for (int32_t i = 0; i <= byteCount; ++i)
        if (wide[i] == 0) return false;
    return true;
}

} // namespace

int32_t DecodeBytes(uint32_t codePage, const char* bytes, int32_t byteCount, char16_t* wide,
                    int32_t wideCount) {
    int32_t n = ByteLength(bytes, byteCount);
    if (n == 0 || wideCount < 0) return 0;
    Sink<char16_t> sink{wide, wideCount};
    auto* s = reinterpret_cast<const unsigned char*>(bytes);
    if (codePage == CP_UTF8)
        DecodeUtf8(s, n, sink);
    else
        Decode1252(s, n, sink);
    return sink.Result();
}

int32_t EncodeWide(uint32_t codePage, const char16_t* wide, int32_t wideCount, char* bytes,
                   int32_t byteCount, bool noBestFit, bool* usedDefault) {
    bool defaulted = false;
    if (usedDefault != nullptr) *usedDefault = false;
    if (wideCount < 0 && byteCount > 0 && CannotFit(wide, byteCount)) return 0;
    int32_t n = UnitCount(wide, wideCount);
    if (n == 0 || byteCount < 0) return 0;
    Sink<char> sink{bytes, byteCount};
    if (codePage == CP_UTF8)
        EncodeUtf8(wide, n, sink);
    else
        Encode1252(wide, n, noBestFit, sink, &defaulted);
    if (usedDefault != nullptr) *usedDefault = defaulted;
    return sink.Result();
}

int32_t Utf8ToUtf16(const char* utf8, char16_t* wide, int32_t wideCount) {
    if (wideCount <= 0) return -1;
    // Converted without the NUL, which a sequence cut short would swallow.
    int32_t length = static_cast<int32_t>(strlen(utf8));
    if (length == 0) {
        wide[0] = 0;
        return 0;
    }
    int32_t n = wideCount > 1 ? DecodeBytes(CP_UTF8, utf8, length, wide, wideCount - 1) : 0;
    if (n == 0) return -1;
    wide[n] = 0;
    return n;
}

int32_t Utf16ToUtf8(const char16_t* wide, char* utf8, int32_t byteCount) {
    int32_t n = EncodeWide(CP_UTF8, wide, -1, utf8, byteCount);
    return n == 0 ? -1 : n - 1;
}
