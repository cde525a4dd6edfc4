#include "module/text.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Every length up to several rounds of many blocks, at every start within a
// block, with units whose one byte is zero, with and without units of 0x8000
// and above, and units after the NUL that must not count.
TEST(TextLength, CountsUnitsUpToTheNulWhereverTheTextStarts) {
    const char16_t fillers[] = {u'a', 0x0100, 0x0001, 0xFF00, 0xFFFF};
    for (size_t start = 0; start < 16; ++start) {
        for (size_t length = 0; length < 600; ++length) {
            std::vector<char16_t> buffer(start + length + 24, u'x');
            for (size_t i = 0; i < length; ++i)
                buffer[start + i] = length % 2 == 0 ? fillers[i % 5] : fillers[i % 3];
            buffer[start + length] = 0;
            if (start > 0) buffer[start - 1] = 0; // a NUL just before the text
            ASSERT_EQ(length, TextLength(buffer.data() + start)) << start << " " << length;
        }
    }
}

} // namespace
