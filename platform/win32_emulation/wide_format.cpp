#include "platform/win32_emulation/wide_format.h"

namespace {

struct Output {
    char16_t* buffer;
    size_t capacity;
    size_t length;
    void Put(char16_t unit) {
        if (length + 1 < capacity) buffer[length++] = unit;
    }
    void Repeat(char16_t unit, int count) {
        for (int i = 0; i < count; ++i)
            Put(unit);
    }
};

int DigitsOf(uint32_t value, unsigned base, bool upper, char16_t* digits) {
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    int n = 0;
    do {
        digits[n++] = static_cast<char16_t>(set[value % base]);
        value /= base;
    } while (value != 0);
    return n; // reversed
}

// A whole format of one decimal, "%d", "%2d", "%02d", "%04d" and the like
// (an optional 0, an optional width of one digit): the forms dates and
// versions write several times a call.
bool IsShortDecimal(const char16_t* f, bool* zero, int* width) {
    if (f[0] != u'%') return false;
    ++f;
    *zero = *f == u'0';
    if (*zero) ++f;
    *width = 0;
    if (*f >= u'1' && *f <= u'9') *width = *f++ - u'0';
    return f[0] == u'd' && f[1] == 0;
}

// The longest short decimal: a sign and ten digits, or a width of nine.
constexpr size_t SHORT_DECIMAL_UNITS = 11;

// "00" to "99": two digits a step.
constexpr char DIGIT_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233"
    "34353637383940414243444546474849505152535455565758596061626364656667"
    "6869707172737475767778798081828384858687888990919293949596979899";

int DecimalDigits(uint32_t value) {
    int digits = 1;
    for (; value >= 100; value /= 100)
        digits += 2;
    return value >= 10 ? digits + 1 : digits;
}

// Writes what the general path writes for a short decimal, straight into a
// buffer that has room for it; returns the units written.
int32_t FormatShortDecimal(char16_t* buffer, bool zero, int width, int32_t value) {
    // Two places for a number under 100: months, days, hours and the like.
    if (width == 2 && value >= 0 && value < 100) {
        buffer[0] =
            value < 10 ? (zero ? u'0' : u' ') : static_cast<char16_t>(DIGIT_PAIRS[2 * value]);
        buffer[1] = static_cast<char16_t>(DIGIT_PAIRS[2 * value + 1]);
        buffer[2] = 0;
        return 2;
    }
    bool negative = value < 0;
    uint32_t magnitude =
        negative ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    int digits = DecimalDigits(magnitude);
    int used = digits + (negative ? 1 : 0);
    int total = used > width ? used : width;
    char16_t* p = buffer + total;
    *p = 0;
    for (; magnitude >= 100; magnitude /= 100) {
        uint32_t pair = 2 * (magnitude % 100);
        p -= 2;
        p[0] = static_cast<char16_t>(DIGIT_PAIRS[pair]);
        p[1] = static_cast<char16_t>(DIGIT_PAIRS[pair + 1]);
    }
    if (magnitude >= 10) {
        p -= 2;
        p[0] = static_cast<char16_t>(DIGIT_PAIRS[2 * magnitude]);
        p[1] = static_cast<char16_t>(DIGIT_PAIRS[2 * magnitude + 1]);
    } else {
        *--p = static_cast<char16_t>(u'0' + magnitude);
    }
    // The sign stands before zeros and after blanks.
    char16_t* q = buffer;
    if (zero) {
        if (negative) *q++ = u'-';
        while (q < p)
            *q++ = u'0';
    } else {
        if (negative) *--p = u'-';
        while (q < p)
            *q++ = u' ';
    }
    return total;
}

// Every format: flags, width, precision and conversion parsed one by one.
// Kept out of line, so that the short path pays for none of it.
__attribute__((noinline)) int32_t FormatGeneral(char16_t* buffer, size_t capacity,
                                                const char16_t* format, va_list args) {
    Output out{buffer, capacity, 0};
    for (const char16_t* f = format; *f != 0; ++f) {
        if (*f != u'%') {
            out.Put(*f);
            continue;
        }
        ++f;
        if (*f == u'%') {
            out.Put(u'%');
            continue;
        }
        bool left = false, zero = false;
        for (;; ++f) {
            if (*f == u'-')
                left = true;
            else if (*f == u'0')
                zero = true;
            else
                break;
        }
        int width = 0;
        while (*f >= u'0' && *f <= u'9')
            width = width * 10 + (*f++ - u'0');
        int precision = -1;
        if (*f == u'.') {
            ++f;
            precision = 0;
            while (*f >= u'0' && *f <= u'9')
                precision = precision * 10 + (*f++ - u'0');
        }
        while (*f == u'l' || *f == u'h' || *f == u'w')
            ++f;
        if (*f == 0) break;
        switch (*f) {
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X': {
            int32_t raw = va_arg(args, int32_t);
            bool negative = (*f == u'd' || *f == u'i') && raw < 0;
            uint32_t magnitude =
                negative ? 0u - static_cast<uint32_t>(raw) : static_cast<uint32_t>(raw);
            unsigned base = (*f == u'x' || *f == u'X') ? 16 : 10;
            char16_t digits[16];
            int count = DigitsOf(magnitude, base, *f == u'X', digits);
            int used = count + (negative ? 1 : 0);
            int pad = width > used ? width - used : 0;
            if (!left && !zero) out.Repeat(u' ', pad);
            if (negative) out.Put(u'-');
            if (!left && zero) out.Repeat(u'0', pad);
            while (count > 0)
                out.Put(digits[--count]);
            if (left) out.Repeat(u' ', pad);
            break;
        }
        case u'c': {
            char16_t unit = static_cast<char16_t>(va_arg(args, int));
            int pad = width > 1 ? width - 1 : 0;
            if (!left) out.Repeat(zero ? u'0' : u' ', pad);
            out.Put(unit);
            if (left) out.Repeat(u' ', pad);
            break;
        }
        case u's': {
            const char16_t* text = va_arg(args, const char16_t*);
            if (text == nullptr) text = u"(null)";
            int length = 0;
            while (text[length] != 0 && (precision < 0 || length < precision))
                ++length;
            int pad = width > length ? width - length : 0;
            if (!left) out.Repeat(zero ? u'0' : u' ', pad);
            for (int i = 0; i < length; ++i)
                out.Put(text[i]);
            if (left) out.Repeat(u' ', pad);
            break;
        }
        default:
            // An unknown conversion is written as it stands, as wsprintfW does.
            out.Put(*f);
            break;
        }
    }
    buffer[out.length] = 0;
    return static_cast<int32_t>(out.length);
}

} // namespace

int32_t FormatWideV(char16_t* buffer, size_t capacity, const char16_t* format, va_list args) {
    if (capacity == 0) return 0;
    bool shortZero;
    int shortWidth;
    if (capacity > SHORT_DECIMAL_UNITS && IsShortDecimal(format, &shortZero, &shortWidth))
        return FormatShortDecimal(buffer, shortZero, shortWidth, va_arg(args, int32_t));
    return FormatGeneral(buffer, capacity, format, args);
}
