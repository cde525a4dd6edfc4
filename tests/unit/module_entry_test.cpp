#include "module/handlers.h"
#include "platform/testing/fake_platform.h"
#include "tests/unit/guarded_page.h"
#include "tests/support/sample_calls.h"
#include "tests/support/test_call.h"

#include <gtest/gtest.h>

#include <set>

namespace {

class ModuleEntryTest : public ::testing::Test {
  protected:
    void SetUp() override { fake::Reset(); }
    TestHost host;
};

// Selector 0 gets the kinds and the title, copied with its NUL and nothing
// more; any other selector gets nothing written.
TEST_F(ModuleEntryTest, IdentificationAnswersSelectorZeroOnly) {
    for (uint32_t selector : {0u, 1u}) {
        std::u16string title(64, 0x7777);
        ModuleInfoRequest request{selector, 5, &title[0]};
        int32_t served =
            ModuleEntry(&host.info, MODCALL_INFO, reinterpret_cast<intptr_t>(&request));
        EXPECT_EQ(selector == 0 ? 1 : 0, served);
        EXPECT_EQ(selector == 0 ? 192u : 5u, request.servedKinds);
        std::u16string written = selector == 0 ? u"Ombry Text Module R7  " : u"";
        EXPECT_EQ(written, title.substr(0, written.size()));
        EXPECT_EQ(selector == 0 ? 37u : 64u, std::u16string(title.c_str()).size()) << selector;
        EXPECT_EQ(0x7777, title[38]) << selector;
    }
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

// The table of sample calls has every name of the dispatch table, and no other.
TEST_F(ModuleEntryTest, EveryDispatchNameHasSampleCalls) {
    std::set<std::u16string> dispatched, sampled;
    for (const DispatchRow& row : DISPATCH_ROWS)
        dispatched.insert(row.name);
    for (const SampleName& entry : SampleNames())
        EXPECT_TRUE(sampled.insert(entry.name).second) << Narrow(entry.name) << " twice";
    EXPECT_EQ(dispatched, sampled);
}

// The keys hosts send for the fourteen names.
TEST_F(ModuleEntryTest, NameKeysAreTheHostsKeys) {
    const std::pair<const char16_t*, uint32_t> keys[] = {
        {u"CLIPPEDTEXT", 0xF75D5755u},     {u"FINDDRIVE", 0xC54FB5F5u},
        {u"NOWDATETIME", 0xF7D79755u},     {u"STDIN", 0xD354524Eu},
        {u"LEFTSTR", 0xC75535D3u},         {u"MIDSTR", 0xC9153553u},
        {u"SUBSTRING", 0xD55FD7F7u},       {u"RIGHTSTR", 0xC9557DD3u},
        {u"PADDING", 0xC51497D7u},         {u"VERSION", 0xD34C97FFu},
        {u"ROTATECUSTOMIZE", 0xDF77D7F5u}, {u"ROTATEEXECUTE", 0xD55D577Fu},
        {u"STDOUT", 0xD514F554u},          {u"STDERR", 0xD51454D6u},
    };
    for (const auto& k : keys)
        EXPECT_EQ(k.second, NameKey(k.first)) << Narrow(k.first);
}

TEST_F(ModuleEntryTest, EveryNameIsServedUnderItsKeyAndKindOnly) {
    for (const SampleName& row : SampleNames()) {
        std::string label = Narrow(row.name);
        uint32_t key = NameKey(row.name);
        int32_t otherKind = row.kind == MODCALL_FUNCTION ? MODCALL_COMMAND : MODCALL_FUNCTION;
        TestCall served(row.name);
        EXPECT_NE(0, RunCall(host, served, row.kind)) << label;
        TestCall wrongKind(row.name);
        EXPECT_EQ(0, RunCall(host, wrongKind, otherKind)) << label;
        // Another name under this key, and this name under many other keys.
        TestCall otherName(row.name == std::u16string(u"STDIN") ? u"STDOUT" : u"STDIN");
        otherName.call.nameKey = key;
        EXPECT_EQ(0, RunCall(host, otherName, row.kind)) << label;
        for (uint32_t k = 0; k < 4096; ++k) {
            TestCall otherKey(row.name);
            otherKey.call.nameKey = key ^ (k * 0x9E3779B1u + 1u);
            if (RunCall(host, otherKey, row.kind) != 0) {
                ADD_FAILURE() << label << " served under key " << otherKey.call.nameKey;
                break;
            }
        }
    }
}

TEST_F(ModuleEntryTest, OneUnitChangedAnywhereInANameIsRefused) {
    for (const SampleName& row : SampleNames()) {
        std::u16string name(row.name);
        std::string label = Narrow(name);
        // Each unit in turn changed or cleared (the name cut there), and one unit more.
        for (size_t i = 0; i <= name.size(); ++i) {
            for (char16_t unit : {u'#', u'\0', u'\x0100'}) {
                std::u16string changed = name;
                if (i == name.size()) {
                    if (unit == 0) continue;
                    changed.push_back(unit);
                } else {
                    changed[i] = unit;
                }
                TestCall call(changed.c_str());
                call.call.nameKey = NameKey(row.name);
                EXPECT_EQ(0, RunCall(host, call, row.kind)) << label << " changed at " << i;
            }
        }
    }
}

TEST_F(ModuleEntryTest, ANameAtTheEndOfItsPageIsReadNoFurther) {
    PageBeforeAHole memory;
    ASSERT_TRUE(memory.Usable());
    for (const SampleName& row : SampleNames()) {
        std::string label = Narrow(row.name);
        for (size_t shortBy = 0; shortBy < 8; ++shortBy) {
            TestCall served(row.name);
            served.call.name = memory.PlaceAtEnd(row.name, shortBy);
            served.call.nameKey = NameKey(row.name);
            EXPECT_NE(0, RunCall(host, served, row.kind)) << label << " " << shortBy;
            // A prefix of the name, under its key, ends even nearer the hole.
            std::u16string prefix(row.name, label.size() - 1);
            TestCall refused(row.name);
            refused.call.name = memory.PlaceAtEnd(prefix, shortBy);
            refused.call.nameKey = NameKey(row.name);
            EXPECT_EQ(0, RunCall(host, refused, row.kind)) << label << " " << shortBy;
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
