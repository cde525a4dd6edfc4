#include "module/handlers.h"
#include "platform/testing/fake_platform.h"
#include "platform/win32_emulation/codepage.h"
#include "streams/wide_text_buffer.h"
#include "tests/support/fake_log.h"
#include "tests/support/test_call.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

const std::vector<std::u16string> UTF8 = {u"", u"utf8"}, NOWAIT = {u"", u"nowait"};

// The input decoded as one piece: what a value put together across reads
// must equal.
std::u16string Whole(const std::string& input) {
    auto size = static_cast<int32_t>(input.size());
    std::u16string whole(input.size(), u'#');
    whole.resize(
        static_cast<size_t>(DecodeBytes(os::CP_UTF8, input.data(), size, &whole[0], size)));
    return whole;
}

// The blocks that held a value of `bytes` of input: moved a number of times
// that grows with the logarithm of its length, each block at least half
// again the one before, the old and new block together within 2.5 times the
// text (and the first block).
void ExpectGeometricGrowth(size_t bytes) {
    const std::vector<size_t>& sizes = fake::State().allocationSizes;
    size_t moves = fake::Count("HeapReAlloc");
    EXPECT_LE(moves, std::log(2.0 * bytes / 4096) / std::log(1.5) + 2) << bytes;
    for (size_t i = 1; i < sizes.size(); ++i) {
        EXPECT_GE(sizes[i] * 2, sizes[i - 1] * 3) << i;
        EXPECT_LE(sizes[i - 1] + sizes[i], 2.5 * (2 * bytes + 8192)) << i;
    }
}

class StdInTest : public ::testing::Test {
  protected:
    void SetUp() override { fake::Reset(); }
    void TearDown() override { EXPECT_TRUE(fake::State().liveBlocks.empty()); }

    // Runs %*StdIn and returns the value: the result buffer, or the text the
    // host took.
    std::u16string Run(std::vector<std::u16string> params = {}) {
        call = std::make_unique<TestCall>(u"STDIN", params);
        EXPECT_EQ(1, RunCall(host, *call));
        EXPECT_TRUE(call->GuardIntact());
        if (!host.requests.empty() && host.requests.back().code == HOSTREQ_LONGRESULT && accept)
            return host.requests.back().text;
        return call->Result();
    }
    static std::vector<intptr_t> ReadSizes() { return ArgOfEach(fake::Op::ReadFile, 1); }
    // A new run: the fake reset and a host that takes long values, or none.
    void Fresh(bool accepting = true) {
        fake::Reset();
        host.requests.clear();
        accept = accepting;
        host.answer = [this](int32_t code, void*) {
            return accept && code == HOSTREQ_LONGRESULT ? 1 : 0;
        };
    }

    TestHost host;
    std::unique_ptr<TestCall> call;
    bool accept = false;
};

TEST_F(StdInTest, OptionWordsAreSubstringsOfTheSecondParameterOn) {
    struct Case {
        std::vector<std::u16string> params;
        bool utf8;
        bool waits;
    };
    const Case cases[] = {
        {{}, false, true},
        {{u"utf8"}, false, true},
        {{u"nowait"}, false, true},
        {{u"", u"utf8"}, true, true},
        {{u"", u"-utf8"}, true, true},
        {{u"", u"UTF8"}, false, true},
        {{u"", u"nowait"}, false, false},
        {{u"", u"xnowaitx"}, false, false},
        {{u"", u"NoWait"}, false, true},
        {{u"", u"utf8,nowait"}, true, false},
        {{u"", u"x", u"nowait", u"y"}, false, false},
    };
    for (const Case& c : cases) {
        Fresh(false);
        fake::State().pipe = {"hi", {}, false};
        EXPECT_EQ(u"hi", Run(c.params));
        std::vector<intptr_t> sizes = ReadSizes();
        ASSERT_FALSE(sizes.empty());
        EXPECT_EQ(c.waits ? 1023 : 2, sizes[0]) << c.params.size();
        const fake::Call* convert = LastCall(fake::Op::MultiByteToWideChar);
        ASSERT_NE(nullptr, convert);
        EXPECT_EQ(c.utf8 ? 65001 : 0, convert->args[0]);
        EXPECT_EQ(c.utf8 ? 0 : 1, convert->args[1]);
    }
}

TEST_F(StdInTest, ClosedPipeOf3000BytesIsReadAs1023_1024_953) {
    std::string input;
    for (int i = 0; i < 3000; ++i)
        input += static_cast<char>('a' + i % 26);
    for (bool hostTakes : {true, false}) {
        Fresh(hostTakes);
        fake::State().pipe = {input, {}, false};
        std::u16string value = Run();
        EXPECT_EQ(U(hostTakes ? input : input.substr(0, 1008)), value);
        EXPECT_EQ(hostTakes ? std::u16string() : value, call->Result());
        EXPECT_EQ((std::vector<intptr_t>{1023, 1024, 953}), ReadSizes());
        ExpectGeometricGrowth(input.size());
    }
}

TEST_F(StdInTest, OneReadOfInputIsTheValueWithoutAnOffer) {
    std::string input(1023, 'q');
    fake::State().pipe = {input, {}, false};
    EXPECT_EQ(U(input), Run());
    EXPECT_TRUE(host.requests.empty());
    EXPECT_EQ(0u, fake::Count("HeapAlloc"));
}

TEST_F(StdInTest, NoWaitTakesOnlyWhatIsWaiting) {
    fake::State().pipe = {"", {"later"}, true};
    EXPECT_EQ(u"", Run(NOWAIT));
    EXPECT_EQ(0u, fake::Count("ReadFile"));

    fake::Reset();
    fake::State().pipe = {std::string(300, 'w'), {"later"}, true};
    EXPECT_EQ(U(std::string(300, 'w')), Run(NOWAIT));
    EXPECT_EQ((std::vector<intptr_t>{300}), ReadSizes());
}

TEST_F(StdInTest, SlowWriterIsReadWithBlockingReadsAndNoPauses) {
    Fresh();
    fake::State().pipe = {"", {"abc", "def", std::string(1500, 'g')}, false};
    EXPECT_EQ(U("abcdef" + std::string(1500, 'g')), Run(UTF8));
    EXPECT_EQ(0u, fake::Count("Sleep"));
    EXPECT_EQ((std::vector<intptr_t>{1023, 1024, 1024, 476}), ReadSizes());
}

TEST_F(StdInTest, CharactersCutByAReadArePutTogether) {
    const std::string euro = "\xE2\x82\xAC", smile = "\xF0\x9F\x98\x80", e = "\xC3\xA9";
    struct Case {
        std::string input;
    };
    const Case cases[] = {
        {std::string(1022, 'a') + e + "z"},
        {std::string(1021, 'a') + euro + "z"},
        {std::string(1022, 'a') + euro + "z"},
        {std::string(1020, 'a') + smile + "z"},
        {std::string(1022, 'a') + smile + "z"},
        {std::string(1023, 'a') + std::string(1023, 'b') + smile + "z"},
        {std::string(1023 + 1024 - 1, 'a') + e},
    };
    for (const Case& c : cases) {
        Fresh();
        fake::State().pipe = {c.input, {}, false};
        std::u16string value = Run(UTF8);
        EXPECT_EQ(Whole(c.input), value) << c.input.size();
        EXPECT_EQ(std::u16string::npos, value.find(u'\uFFFD'));
    }
}

TEST_F(StdInTest, InputEndingInsideACharacterEndsInAReplacement) {
    fake::State().pipe = {"ab\xE2\x82", {}, false};
    EXPECT_EQ(u"ab\uFFFD", Run(UTF8));
    Fresh();
    fake::State().pipe = {"", {std::string(1023, 'a'), "b\xF0\x9F"}, false};
    EXPECT_EQ(U(std::string(1023, 'a') + "b") + u"\uFFFD", Run(UTF8));
}

TEST_F(StdInTest, InvalidBytesCutByAReadAreReadAsInOnePiece) {
    const std::string tails[] = {"\xF0\x41\x41z", "\xE0\x80\xAFz",         "\xE0\xE0\x41z",
                                 "\xF0\x9F\x41z", "\xC3\xF0\x9F\x98\x80z", "\xF0\x41",
                                 "\xF0\x9F"};
    for (const std::string& tail : tails) {
        for (size_t before : {1020, 1021, 1022}) {
            std::string input = std::string(before, 'a') + tail;
            Fresh();
            fake::State().pipe = {input, {}, false};
            EXPECT_EQ(Whole(input), Run(UTF8)) << testing::PrintToString(tail) << before;
        }
    }
}

TEST_F(StdInTest, ZeroBytesAreLeftOutAndTheRestKept) {
    std::string input = std::string("ab\0cd", 5) + std::string(1020, 'x') + std::string("\0", 1) +
                        "\xC3" + std::string("\0", 1) + "\xA9" + "end";
    std::string expected = "abcd" + std::string(1020, 'x') + "\xC3\xA9" + "end";
    for (int split : {0, 3, 1023, 1025, 1027, 1028}) {
        Fresh();
        fake::State().pipe =
            split == 0
                ? fake::Platform::Pipe{input, {}, false}
                : fake::Platform::Pipe{"", {input.substr(0, split), input.substr(split)}, false};
        EXPECT_EQ(Whole(expected), Run(UTF8)) << split;
    }
}

// A zero byte at every place of the first rounds of a block and at its end:
// it alone is left out.
TEST_F(StdInTest, AZeroByteIsFoundWhereverItStands) {
    std::string letters(1024, 'x');
    for (size_t i = 0; i < letters.size(); ++i)
        letters[i] = static_cast<char>('a' + i % 26);
    for (size_t at = 0; at < 1024; at = at == 140 ? 1000 : at + 1) {
        std::string input = letters;
        input[at] = 0;
        std::string expected = letters;
        expected.erase(at, 1);
        Fresh();
        fake::State().pipe = {input, {}, false};
        ASSERT_EQ(Whole(expected), Run()) << at;
    }
}

TEST_F(StdInTest, ALeadByteOfTheAnsiCodePageIsHeldForTheNextBlock) {
    fake::State().isDBCSLeadByte = [](uint32_t, uint8_t b) { return os::BOOL(b == 0x81); };
    std::vector<std::string> blocks;
    fake::State().multiByteSeen = [&](uint32_t, const char* bytes, int32_t) {
        blocks.push_back(bytes);
    };
    // The trail byte 0x81 after a lead byte is no lead byte itself.
    std::string input = std::string(1018, 'a') + "\x81\x81\x81\x40\x81" + "\x40z";
    fake::State().pipe = {input, {}, false};
    Run();
    ASSERT_EQ(2u, blocks.size());
    EXPECT_EQ(std::string(1018, 'a') + "\x81\x81\x81\x40", blocks[0]);
    EXPECT_EQ("\x81\x40z", blocks[1]);
}

TEST_F(StdInTest, FailuresDeliverWhatWasCollected) {
    std::string input = std::string(1023, 'a') + std::string(1024, 'b') + std::string(500, 'c');
    struct Case {
        const char* op;
        int nth;
        std::u16string value; // what the host is offered or the buffer holds
    };
    const Case cases[] = {
        {"ReadFile", 1, u""},
        {"ReadFile", 2, U(input.substr(0, 1023))},
        {"ReadFile", 3, U(input.substr(0, 2047))},
        {"PeekNamedPipe", 1, U(input.substr(0, 1023))},
        {"HeapAlloc", 1, U(input.substr(0, 1023))},
        {"HeapReAlloc", 1, U(input.substr(0, 1023))},
        {"HeapReAlloc", 2, U(input.substr(0, 2047))},
        {"MultiByteToWideChar", 1, U(input.substr(1023))},
        {"MultiByteToWideChar", 2, U(input.substr(0, 1023))},
        {"MultiByteToWideChar", 3, U(input.substr(0, 2047))},
    };
    for (const Case& c : cases) {
        Fresh();
        // A conversion that fails fails again without flags; a growth refused
        // is asked again for what is needed.
        if (std::string(c.op) == "MultiByteToWideChar" || std::string(c.op) == "HeapReAlloc")
            fake::FailCalls(fake::OpNamed(c.op), c.nth, c.nth + 1);
        else
            fake::FailNth(c.op, c.nth);
        fake::State().pipe = {input, {}, false};
        EXPECT_EQ(c.value, Run()) << c.op << " " << c.nth;
        EXPECT_TRUE(fake::State().liveBlocks.empty()) << c.op;
    }
}

// Room for the units asked and a NUL after the cursor: a block with a unit to
// spare stays as it is; one without grows by half at least, and to no more
// than what is needed and 64 bytes, or half again, whichever is more.
TEST(WideTextBuffer, GrowsByHalfOrToWhatIsNeededWhenRoomRunsShort) {
    fake::Reset();
    WideTextBuffer buffer;
    ASSERT_TRUE(CreateWideTextBuffer(&buffer, 2048));
    EXPECT_EQ(2048u, FreeUnits(&buffer));
    buffer.start[0] = 0;
    // Where the cursor moves, then the units asked: room that runs short,
    // room to spare by one unit, just enough, and more than half again.
    const uint32_t steps[][2] = {{0, 2048}, {1022, 2048}, {1, 2048}, {0, 8192}};
    for (const auto& step : steps) {
        buffer.cursor += step[0];
        const uint64_t before = buffer.capacityBytes;
        const uint64_t needed = (UsedUnits(&buffer) + step[1] + 1) * 2;
        ASSERT_TRUE(EnsureRoom(&buffer, step[1]));
        EXPECT_GE(FreeUnits(&buffer), step[1] + 1);
        EXPECT_EQ(0u, buffer.capacityBytes % 2);
        if (needed < before) {
            EXPECT_EQ(before, buffer.capacityBytes) << needed;
        } else {
            EXPECT_GE(buffer.capacityBytes * 2, before * 3) << needed;
            EXPECT_LE(buffer.capacityBytes, std::max(needed + 64, before * 3 / 2 + 1)) << needed;
        }
    }
    EXPECT_EQ(1023u, UsedUnits(&buffer));

    fake::FailNth("HeapReAlloc", static_cast<int>(fake::Count("HeapReAlloc")) + 1);
    buffer.cursor += 64;
    WideTextBuffer before = buffer;
    EXPECT_FALSE(EnsureRoom(&buffer, 16384));
    EXPECT_EQ(before.start, buffer.start);
    EXPECT_EQ(before.cursor, buffer.cursor);
    EXPECT_EQ(before.capacityBytes, buffer.capacityBytes);
    ReleaseWideTextBuffer(&buffer);
    EXPECT_TRUE(fake::State().liveBlocks.empty());

    fake::FailNth("HeapAlloc", static_cast<int>(fake::Count("HeapAlloc")) + 1);
    EXPECT_FALSE(CreateWideTextBuffer(&buffer, 2048));
}

// Near the 32-bit limit of the capacity the block grows once to the largest
// that fits, never by what one read needs; a refused growth is asked again
// for what is needed, and a text that cannot be held leaves the buffer as it
// was. The heap here refuses the first `refused` requests (0: every one), so
// no large block is ever taken.
TEST(WideTextBuffer, GrowsToTheLargestCapacityAndRetriesWhatIsNeeded) {
    constexpr uint32_t LARGEST = 0xFFFFFFFEu, ROOM = 2048;
    struct Case {
        uint32_t capacity, used;
        int refused;
        std::vector<size_t> asked; // the sizes asked of HeapReAlloc, in order
    };
    // needed = (used + 2048) * 2 + 2, from capacity on.
    const Case cases[] = {
        {9216, 3000, 1, {13824, 10162}},
        {0xA0000000u, 0x50000000u - ROOM, 0, {0xF0000000u, 0xA0000042u}},
        {0xC0000000u, 0x60000000u - ROOM, 0, {LARGEST, 0xC0000042u}},
        {0xFFFFF000u, 0x7FFFF800u - ROOM - 1, 0, {LARGEST, 0xFFFFF040u}},
        {0xFFFFFFF0u, 0x7FFFFFF8u - ROOM - 1, 0, {LARGEST}},
        {LARGEST, 0x7FFFFFFFu - ROOM, 0, {}},
    };
    for (const Case& c : cases) {
        fake::Reset();
        WideTextBuffer buffer;
        ASSERT_TRUE(CreateWideTextBuffer(&buffer, 8));
        buffer.capacityBytes = c.capacity;
        buffer.cursor = buffer.start + c.used;
        fake::FailCalls(fake::Op::HeapReAlloc, 1, c.refused == 0 ? 1000 : c.refused);
        WideTextBuffer before = buffer;
        bool grown = EnsureRoom(&buffer, ROOM);
        std::vector<size_t> asked;
        for (const fake::Call& k : fake::State().calls)
            if (k.op == fake::Op::HeapReAlloc) asked.push_back(static_cast<size_t>(k.args[3]));
        EXPECT_EQ(c.asked, asked) << c.capacity;
        EXPECT_EQ(c.refused != 0, grown) << c.capacity;
        EXPECT_EQ(grown ? c.asked.back() : c.capacity, buffer.capacityBytes) << c.capacity;
        if (!grown) {
            EXPECT_EQ(before.start, buffer.start);
        }
        EXPECT_EQ(c.used, UsedUnits(&buffer));
        ReleaseWideTextBuffer(&buffer);
    }
}

// A large input moves the block a number of times that grows with its
// logarithm, and the old and new block together stay within 2.5 times the
// text.
TEST_F(StdInTest, ALargeInputGrowsTheBlockGeometrically) {
    for (size_t bytes : {size_t{1} << 20, size_t{4} << 20}) {
        Fresh();
        fake::State().logCalls = false;
        fake::State().pipe = {std::string(bytes, 'w'), {}, false};
        EXPECT_EQ(bytes, Run().size());
        ExpectGeometricGrowth(bytes);
    }
}

// Input that no peek measures but that ends is read to its end: a disk file
// whether waiting or not, and while waiting a pipe that refuses to be peeked
// (as Wine does for a pipe of the system under it). Consoles and pipes that
// are broken end as before.
TEST_F(StdInTest, InputThatNoPeekMeasuresIsReadToItsEnd) {
    struct Case {
        os::DWORD type;
        os::DWORD peekError;
        bool waiting;
        size_t delivered;
    };
    const size_t all = 88000;
    const Case cases[] = {
        {os::FILE_TYPE_DISK, os::ERROR_INVALID_FUNCTION, true, all},
        {os::FILE_TYPE_DISK, os::ERROR_INVALID_FUNCTION, false, all},
        {os::FILE_TYPE_PIPE, os::ERROR_NOT_SUPPORTED, true, all},
        {os::FILE_TYPE_PIPE, os::ERROR_NOT_SUPPORTED, false, 0},
        {os::FILE_TYPE_PIPE, os::ERROR_BROKEN_PIPE, true, 1023},
        {os::FILE_TYPE_CHAR, os::ERROR_INVALID_HANDLE, true, 1023},
    };
    for (const Case& c : cases) {
        Fresh();
        ReadsToTheEnd(fake::State(), c.type, c.peekError);
        fake::State().pipe.waiting = std::string(all, 'f');
        std::u16string value = Run(c.waiting ? std::vector<std::u16string>{} : NOWAIT);
        EXPECT_EQ(std::u16string(c.delivered, u'f'), value) << c.type << " " << c.peekError;
        EXPECT_TRUE(fake::State().liveBlocks.empty());
    }
}

// Under the UTF-8 ANSI code page (GetACP 65001) code page 0 is read as the
// utf8 word reads: without the flags Windows refuses there, and a character
// cut by a block's end put together.
TEST_F(StdInTest, TheUtf8AnsiCodePageIsReadAsUtf8) {
    const std::string e = "\xC3\xA9", euro = "\xE2\x82\xAC";
    const std::string inputs[] = {"h" + e + "llo", std::string(1022, 'x') + e,
                                  std::string(1021, 'x') + euro + "z",
                                  std::string(1023 + 1023, 'x') + e, std::string(3000, 'a') + e};
    for (const std::string& input : inputs) {
        Fresh();
        fake::State().ansiCodePage = os::CP_UTF8;
        fake::State().pipe = {input, {}, false};
        EXPECT_EQ(Whole(input), Run()) << input.size();
        for (const fake::Call& k : fake::State().calls)
            if (k.op == fake::Op::MultiByteToWideChar) {
                EXPECT_EQ((std::vector<intptr_t>{0, 0}),
                          (std::vector<intptr_t>{k.args[0], k.args[1]}))
                    << input.size();
            }
    }
}

} // namespace
