#include "module/text.h"
#include "tests/unit/guarded_page.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Every length up to several rounds of many blocks, at every start within a
// block, with units whose one byte is zero, with and without units of 0x8000
// and above, and units after the NUL that must not count; measured whole and
// within limits below, at and above the length.
TEST(TextLength, CountsUnitsUpToTheNulOrTheLimitWhereverTheTextStarts) {
    const char16_t fillers[] = {u'a', 0x0100, 0x0001, 0xFF00, 0xFFFF};
    for (size_t start = 0; start < 16; ++start) {
        for (size_t length = 0; length < 600; ++length) {
            std::vector<char16_t> buffer(start + length + 24, u'x');
            for (size_t i = 0; i < length; ++i)
                buffer[start + i] = length % 2 == 0 ? fillers[i % 5] : fillers[i % 3];
            buffer[start + length] = 0;
            if (start > 0) buffer[start - 1] = 0; // a NUL just before the text
            const char16_t* text = buffer.data() + start;
            ASSERT_EQ(length, TextLength(text)) << start << " " << length;
            for (size_t limit : {size_t{0}, size_t{1}, length / 2, length, length + 1, size_t{300},
                                 size_t{1025}, SIZE_MAX}) {
                ASSERT_EQ(length < limit ? length : limit, TextLengthWithin(text, limit))
                    << start << " " << length << " " << limit;
            }
        }
    }
}

// Equal up to and including the NUL, whatever follows it, at every start
// within a word; one unit changed anywhere before the NUL is unequal.
TEST(TextEqual, ComparesUpToTheNulOnly) {
    for (size_t start = 0; start < 8; ++start) {
        for (size_t length = 0; length < 20; ++length) {
            std::vector<char16_t> a(start + length + 8, u'x'), b(length + 8, u'y');
            for (size_t i = 0; i < length; ++i)
                a[start + i] = b[i] = static_cast<char16_t>(i % 2 == 0 ? u'a' + i : 0xFF00 + i);
            a[start + length] = b[length] = 0;
            ASSERT_TRUE(TextEqual(a.data() + start, b.data())) << start << " " << length;
            for (size_t i = 0; i <= length; ++i) {
                std::vector<char16_t> c = b;
                c[i] = i == length ? u'z' : 0x0001;
                ASSERT_FALSE(TextEqual(a.data() + start, c.data())) << start << " " << i;
                ASSERT_FALSE(TextEqual(c.data(), a.data() + start)) << start << " " << i;
            }
        }
    }
}

// Every count writes exactly its units: none before, none after (copies
// write their NUL there and no further).
TEST(ShortMoves, FillAndCopyTouchOnlyTheirUnits) {
    for (size_t count = 0; count < 20; ++count) {
        std::vector<char16_t> source(count + 1, 0);
        for (size_t i = 0; i < count; ++i)
            source[i] = static_cast<char16_t>(u'a' + i);
        std::vector<char16_t> filled(count + 4, u'#'), copied(count + 4, u'#');
        FillUnits(filled.data() + 1, u'p', count);
        CopyUnits(copied.data() + 1, source.data(), count);
        ASSERT_EQ(u'#', filled[0]) << count;
        ASSERT_EQ(u'#', copied[0]) << count;
        for (size_t i = 0; i < count; ++i) {
            ASSERT_EQ(u'p', filled[1 + i]) << count;
            ASSERT_EQ(source[i], copied[1 + i]) << count;
        }
        ASSERT_EQ(u'#', filled[1 + count]) << count;
        ASSERT_EQ(0, copied[1 + count]) << count;
        ASSERT_EQ(u'#', copied[2 + count]) << count;
    }
}

// Texts that end right before a page that cannot be read: whole blocks and
// words are read, but never across the page's end.
TEST(TextLength, ReadsNothingPastThePageOfTheNul) {
    PageBeforeAHole memory;
    ASSERT_TRUE(memory.Usable());
    for (size_t length = 0; length < 700; ++length) {
        std::u16string text(length, u'a');
        for (size_t shortBy = 0; shortBy < 3; ++shortBy) {
            const char16_t* placed = memory.PlaceAtEnd(text, shortBy);
            ASSERT_EQ(length, TextLength(placed)) << length << " " << shortBy;
            ASSERT_EQ(length, TextLengthWithin(placed, length + 1)) << length << " " << shortBy;
            ASSERT_EQ(length / 2, TextLengthWithin(placed, length / 2)) << length << " " << shortBy;
            ASSERT_TRUE(TextEqual(placed, text.c_str())) << length << " " << shortBy;
            ASSERT_FALSE(TextEqual((text + u"b").c_str(), placed)) << length << " " << shortBy;
        }
    }
}

} // namespace
