#include "platform/win32_emulation/codepage.h"

namespace {

constexpr char16_t REPLACEMENT = 0xFFFD;

// Windows-1252 0x80..0x9F; the five holes map to the C1 controls, as Windows does.
constexpr char16_t CP1252_HIGH[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int32_t ByteLength(const char* bytes, int32_t count) {
    if (count >= 0)
        return count;
    int32_t n = 0;
    while (bytes[n] != 0)
        ++n;
    return n + 1;
}

int32_t WideLength(const char16_t* wide, int32_t count) {
    if (count >= 0)
        return count;
    int32_t n = 0;
    while (wide[n] != 0)
        ++n;
    return n + 1;
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
    int32_t Result() const { return overflow ? 0 : count; }
};

void PutCodePoint(Sink<char16_t>& sink, uint32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        sink.Put(static_cast<char16_t>(0xD800 + (cp >> 10)));
        sink.Put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        sink.Put(static_cast<char16_t>(cp));
    }
}

void DecodeUtf8(const unsigned char* s, int32_t n, Sink<char16_t>& sink) {
    int32_t i = 0;
    while (i < n && !sink.overflow) {
        unsigned char b = s[i];
        if (b < 0x80) {
            sink.Put(b);
            ++i;
            continue;
        }
        int need;
        uint32_t cp;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0)
                lo = 0xA0;
            if (b == 0xED)
                hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0)
                lo = 0x90;
            if (b == 0xF4)
                hi = 0x8F;
        } else {
            sink.Put(REPLACEMENT);
            ++i;
            continue;
        }
        int32_t j = i + 1;
        int got = 0;
        while (got < need && j < n) {
            unsigned char c = s[j];
            unsigned char l = got == 0 ? lo : 0x80, h = got == 0 ? hi : 0xBF;
            if (c < l || c > h)
                break;
            cp = (cp << 6) | (c & 0x3F);
            ++j;
            ++got;
        }
        if (got < need) {
            // A maximal invalid subpart becomes one replacement character.
            sink.Put(REPLACEMENT);
            i = j;
            continue;
        }
        PutCodePoint(sink, cp);
        i = j;
    }
}

// Stops early once the output has overflowed: the result is 0 by then.
template <typename Put>
void ForEachCodePoint(const char16_t* w, int32_t n, const bool& stop, Put put) {
    for (int32_t i = 0; i < n && !stop; ++i) {
        uint32_t u = w[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] <= 0xDFFF) {
            put(0x10000 + ((u - 0xD800) << 10) + (w[i + 1] - 0xDC00u));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            put(REPLACEMENT);
        } else {
            put(u);
        }
    }
}

void EncodeUtf8Point(Sink<char>& sink, uint32_t cp) {
    if (cp < 0x80) {
        sink.Put(static_cast<char>(cp));
    } else if (cp < 0x800) {
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

char Encode1252(char16_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return static_cast<char>(u);
    for (int i = 0; i < 32; ++i)
        if (CP1252_HIGH[i] == u)
            return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

int32_t DecodeBytes(uint32_t codePage, const char* bytes, int32_t byteCount, char16_t* wide,
                    int32_t wideCount) {
    int32_t n = ByteLength(bytes, byteCount);
    if (n == 0 || wideCount < 0)
        return 0;
    Sink<char16_t> sink{wide, wideCount};
    auto* s = reinterpret_cast<const unsigned char*>(bytes);
    if (codePage == 65001) {
        DecodeUtf8(s, n, sink);
    } else {
        for (int32_t i = 0; i < n && !sink.overflow; ++i)
            sink.Put(s[i] >= 0x80 && s[i] < 0xA0 ? CP1252_HIGH[s[i] - 0x80] : s[i]);
    }
    return sink.Result();
}

// True when a NUL-terminated text cannot fit: every unit but the second of
// a pair gives at least one byte, so a text with no NUL in its first
// 2 * byteCount + 2 units needs more than byteCount bytes. Saves measuring
// all of a long text that is bound to fail.
bool CannotFit(const char16_t* wide, int32_t byteCount) {
    int64_t limit = 2 * static_cast<int64_t>(byteCount) + 2;
    for (int64_t i = 0; i < limit; ++i)
        if (wide[i] == 0)
            return false;
    return true;
}

int32_t EncodeWide(uint32_t codePage, const char16_t* wide, int32_t wideCount, char* bytes,
                   int32_t byteCount) {
    if (wideCount < 0 && byteCount > 0 && CannotFit(wide, byteCount))
        return 0;
    int32_t n = WideLength(wide, wideCount);
    if (n == 0 || byteCount < 0)
        return 0;
    Sink<char> sink{bytes, byteCount};
    if (codePage == 65001) {
        ForEachCodePoint(wide, n, sink.overflow, [&](uint32_t cp) { EncodeUtf8Point(sink, cp); });
    } else {
        for (int32_t i = 0; i < n && !sink.overflow; ++i) {
            char16_t u = wide[i];
            // A pair is one character: one default character for it.
            if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n && wide[i + 1] >= 0xDC00 &&
                wide[i + 1] <= 0xDFFF)
                ++i;
            sink.Put(Encode1252(u));
        }
    }
    return sink.Result();
}

int32_t Utf8ToUtf16(const char* utf8, char16_t* wide, int32_t wideCount) {
    int32_t n = DecodeBytes(65001, utf8, -1, wide, wideCount);
    return n == 0 ? -1 : n - 1;
}

int32_t Utf16ToUtf8(const char16_t* wide, char* utf8, int32_t byteCount) {
    int32_t n = EncodeWide(65001, wide, -1, utf8, byteCount);
    return n == 0 ? -1 : n - 1;
}
