#include "platform/testing/fake_platform.h"
#include "tests/unit/test_call.h"

#include <gtest/gtest.h>

namespace {

class ModuleEntryTest : public ::testing::Test {
  protected:
    void SetUp() override { fake::Reset(); }
    TestHost host;
};

TEST_F(ModuleEntryTest, IdentificationWritesKindsAndTitle) {
    char16_t title[64];
    for (auto& u : title)
        u = 0x7777;
    ModuleInfoRequest request{0, 5, title};
    EXPECT_EQ(1, ModuleEntry(&host.info, MODCALL_INFO, reinterpret_cast<intptr_t>(&request)));
    EXPECT_EQ(192u, request.servedKinds);
    std::u16string text(title);
    EXPECT_EQ(37u, text.size());
    EXPECT_EQ(0u, text.rfind(u"Ombry Text Module R7  ", 0));
    EXPECT_EQ(0x7777, title[38]) << "the title is copied with its NUL and nothing more";
}

TEST_F(ModuleEntryTest, IdentificationWithOtherSelectorWritesNothing) {
    char16_t title[4] = {1, 2, 3, 4};
    ModuleInfoRequest request{1, 5, title};
    EXPECT_EQ(0, ModuleEntry(&host.info, MODCALL_INFO, reinterpret_cast<intptr_t>(&request)));
    EXPECT_EQ(5u, request.servedKinds);
    EXPECT_EQ(1, title[0]);
}

TEST_F(ModuleEntryTest, OtherKindsAreDeclinedWithoutReadingTheArgument) {
    for (int32_t kind : {1, 2, 3, 4, 5, 8, -1, 0x7FFFFFFF})
        EXPECT_EQ(0, ModuleEntry(&host.info, kind, 0x10)) << kind;
}

struct NameCase {
    const char* label;
    std::u16string name;
    uint32_t key;
    int32_t kind;
    int32_t expected;
};

TEST_F(ModuleEntryTest, NamesMatchByKeyAndExactName) {
    const uint32_t leftKey = NameKey(u"LEFTSTR");
    const NameCase cases[] = {
        {"served", u"LEFTSTR", leftKey, MODCALL_FUNCTION, 1},
        {"lower case", u"leftstr", leftKey, MODCALL_FUNCTION, 0},
        {"one letter more", u"LEFTSTRX", leftKey, MODCALL_FUNCTION, 0},
        {"last letter missing", u"LEFTST", leftKey, MODCALL_FUNCTION, 0},
        {"other key", u"LEFTSTR", leftKey ^ 1u, MODCALL_FUNCTION, 0},
        {"function as command", u"LEFTSTR", leftKey, MODCALL_COMMAND, 0},
        {"command as function", u"STDOUT", NameKey(u"STDOUT"), MODCALL_FUNCTION, 0},
        {"unknown name", u"GETCUST", NameKey(u"GETCUST"), MODCALL_FUNCTION, 0},
    };
    for (const NameCase& c : cases) {
        TestCall call(c.name, {u"abcdef", u"3"});
        call.call.nameKey = c.key;
        EXPECT_EQ(c.expected, RunCall(host, call, c.kind)) << c.label;
        if (c.expected == 0) {
            EXPECT_TRUE(call.ResultUntouched()) << c.label;
        }
    }
}

TEST_F(ModuleEntryTest, MidStrAndSubStringShareOneHandler) {
    for (const char16_t* name : {u"MIDSTR", u"SUBSTRING"}) {
        TestCall call(name, {u"abcdef", u"2", u"3"});
        EXPECT_EQ(1, RunCall(host, call)) << std::string(name, name + 6);
        EXPECT_EQ(u"cde", call.Result());
    }
}

} // namespace
