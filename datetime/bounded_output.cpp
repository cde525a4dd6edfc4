#include "datetime/bounded_output.h"

#include "module/text.h"

BoundedOutput BoundedOutputOver(char16_t* buffer, size_t units) {
    return BoundedOutput{buffer, buffer + units - 1};
}

size_t PutUnits(BoundedOutput out, const char16_t* units, size_t count) {
    size_t room = static_cast<size_t>(out.end - out.position);
    if (count > room) count = room;
    for (size_t i = 0; i < count; ++i)
        out.position[i] = units[i];
    out.position[count] = 0;
    return count;
}

size_t PutText(BoundedOutput out, const char16_t* text) {
    return PutUnits(out, text, TextLength(text));
}
