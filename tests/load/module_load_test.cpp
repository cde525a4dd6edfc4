// The built module, loaded through its export, called with records laid out
// byte by byte as a host of this width lays them out.
#include "tests/support/module_loader.h"
#include "tests/support/sample_calls.h"
#include "tests/support/sample_world.h"
#include "tests/support/std_stand_in.h"
#include "tests/support/test_call.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class ModuleLoadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        module = LoadModule(BuiltModulePath());
        ASSERT_NE(nullptr, module.entry) << BuiltModulePath() << ": " << module.error;
    }
    void TearDown() override { UnloadModule(module); }
    LoadedModule module;
    TestHost recorder; // answers 0 to every request
    HostInfo& host = recorder.info;
};

TEST_F(ModuleLoadTest, AnswersTheIdentification) {
    char16_t title[64] = {};
    ModuleInfoRequest request{0, 0, title};
    EXPECT_EQ(1, module.entry(&host, MODCALL_INFO, reinterpret_cast<intptr_t>(&request)));
    EXPECT_EQ(192u, request.servedKinds);
    EXPECT_EQ(std::u16string(u"Ombry Text Module R7  (c) Murlin 2026"), std::u16string(title));
}

// The ModuleCall written at the offsets of this width, not through the
// struct, so a module that read the other width's order would fail here.
struct RawCall {
    unsigned char bytes[32];
    template <typename T> void Put(size_t offset, T value) {
        std::memcpy(bytes + offset, &value, sizeof value);
    }
};

RawCall LayOut(const char16_t* name, char16_t* result, const char16_t* params, uint32_t count) {
    RawCall raw;
    std::memset(raw.bytes, 0xCD, sizeof raw.bytes);
    uint32_t key = NameKey(name);
    if (sizeof(void*) == 4) {
        raw.Put(0, name);
        raw.Put(4, params);
        raw.Put(8, count);
        raw.Put(12, key);
        raw.Put(16, result);
    } else {
        raw.Put(0, name);
        raw.Put(8, result);
        raw.Put(16, params);
        raw.Put(24, count);
        raw.Put(28, key);
    }
    return raw;
}

TEST_F(ModuleLoadTest, ReadsTheCallRecordInThisWidthsOrder) {
    const char16_t params[] = u"abcdef\0"
                              u"3\0";
    char16_t result[1024];
    result[0] = u'!';
    RawCall raw = LayOut(u"LEFTSTR", result, params, 2);
    EXPECT_EQ(1, module.entry(&host, MODCALL_FUNCTION, reinterpret_cast<intptr_t>(raw.bytes)));
    EXPECT_EQ(std::u16string(u"abc"), std::u16string(result));
}

TEST_F(ModuleLoadTest, DeclinesUnknownNamesAndKinds) {
    const char16_t params[] = u"x\0";
    char16_t result[1024] = {u'!', 0};
    RawCall raw = LayOut(u"NOSUCHNAME", result, params, 1);
    EXPECT_EQ(0, module.entry(&host, MODCALL_FUNCTION, reinterpret_cast<intptr_t>(raw.bytes)));
    EXPECT_EQ(0, module.entry(&host, 3, 0));
    EXPECT_EQ(u'!', result[0]);
    EXPECT_TRUE(recorder.requests.empty());
}

TEST_F(ModuleLoadTest, WrongUseAsksTheHostToShowTheUsage) {
    const char16_t params[] = u"abcdef\0";
    char16_t result[1024] = {};
    RawCall raw = LayOut(u"LEFTSTR", result, params, 1);
    // The host declines the message, so the module falls back to a message
    // box (on Windows it returns at once without a display).
    EXPECT_EQ(-1, module.entry(&host, MODCALL_FUNCTION, reinterpret_cast<intptr_t>(raw.bytes)));
    ASSERT_EQ(1u, recorder.requests.size());
    EXPECT_EQ(std::u16string(u"%*LeftStr(\"text\",length)"), recorder.requests[0].text);
}

#if defined(_WIN32) && !defined(_WIN64)
// The call made with the stack `offset` bytes below a 16-byte boundary. The
// module may change vector registers, which this program must not hold.
#if defined(__SSE__)
#error "name the vector registers among CallAtOffset's clobbers"
#endif
int32_t CallAtOffset(ModuleEntryFunction entry, TestCall& call, int32_t kind, uint32_t offset) {
    const void* frame[] = {reinterpret_cast<void*>(entry), &call.host,
                           reinterpret_cast<void*>(kind), &call.call,
                           reinterpret_cast<void*>(offset)};
    int32_t result;
    __asm__ volatile("mov %%esp, %%esi; and $-16, %%esp; sub 16(%[f]), %%esp; sub $4, %%esp\n\t"
                     "push 12(%[f]); push 8(%[f]); push 4(%[f]); call *(%[f]); mov %%esi, %%esp"
                     : "=a"(result)
                     : [f] "D"(frame)
                     : "esi", "ecx", "edx", "memory", "cc");
    return result;
}

// Every sample call, made with the stack 4, 8 and 12 bytes off alignment (as
// 32-bit Windows code may), gives what it gives aligned (for the time now, a
// value as long), its standard streams a pipe that holds a line and files.
TEST_F(ModuleLoadTest, EveryNameServesOnAStackAlignedToFourBytesOnly) {
    recorder.answer = SampleHostAnswer;
    for (const SampleName& entry : SampleNames())
        for (const SampleCall& sample : entry.calls) {
            bool clock = (entry.traits | sample.traits) & READS_CLOCK;
            std::u16string seen[4];
            for (uint32_t offset = 0; offset < 16; offset += 4) {
                StdStandIn in(0), out(1, "aligned-stdout.txt"), err(2, "aligned-stderr.txt");
                ASSERT_TRUE(in.Write("a line\n") && out.Ready() && err.Ready());
                in.CloseOther();
                TestCall call(entry.name, sample.params, 0);
                call.host = host;
                int32_t code = CallAtOffset(module.entry, call, entry.kind, offset);
                std::u16string value = call.Result();
                if (clock) value.assign(value.size(), u'.');
                seen[offset / 4] = U(std::to_string(code) + ":") + value;
                EXPECT_EQ(seen[0], seen[offset / 4]) << Narrow(entry.name) << " " << offset;
            }
        }
}
#endif

} // namespace
