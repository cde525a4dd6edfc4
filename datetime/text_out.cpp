#include "datetime/text_out.h"

#include "module/text.h"
#include "platform/platform.h"

namespace {

// Room for one number in a short form: a sign, ten digits and the NUL.
constexpr size_t PIECE_UNITS = 32;

} // namespace

TextOut TextOutOver(char16_t* buffer, size_t units) {
    return TextOut{buffer, buffer + units - 1};
}

size_t PutUnits(TextOut out, const char16_t* units, size_t count) {
    size_t room = static_cast<size_t>(out.end - out.position);
    if (count > room) count = room;
    for (size_t i = 0; i < count; ++i)
        out.position[i] = units[i];
    out.position[count] = 0;
    return count;
}

size_t PutNumber(TextOut out, const char16_t* format, int32_t value) {
    // Where the buffer has room for any number, it is written in place;
    // near its end it goes through a piece and is cut to what fits.
    if (static_cast<size_t>(out.end - out.position) >= PIECE_UNITS) {
        int32_t n = os::wsprintfW(out.position, format, value);
        return n < 0 ? 0 : static_cast<size_t>(n);
    }
    char16_t piece[PIECE_UNITS];
    int32_t n = os::wsprintfW(piece, format, value);
    return PutUnits(out, piece, n < 0 ? 0 : static_cast<size_t>(n));
}

size_t PutText(TextOut out, const char16_t* text) {
    return PutUnits(out, text, TextLength(text));
}
