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

} // namespace

int32_t FormatWideV(char16_t* buffer, size_t capacity, const char16_t* format, va_list args) {
    if (capacity == 0) return 0;
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
