// ModuleEntry on eight threads at once, over the POSIX backend: every sample
// call that leaves the standard streams alone, starting together so that the
// first g of each thread races for the era scan. Each thread must get what
// one thread alone gets; ThreadSanitizer watches the rest.
#include "datetime/era_boundary.h"
#include "module/module_api.h"
#include "tests/support/sample_calls.h"
#include "tests/support/sample_world.h"
#include "tests/support/test_call.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int THREADS = 8;
constexpr int ROUNDS = 20;

struct NamedCall {
    int32_t kind;
    std::u16string name;
    std::vector<std::u16string> params;
    uint32_t traits;
};

std::vector<NamedCall> Calls() {
    std::vector<NamedCall> calls;
    for (const SampleName& entry : SampleNames())
        for (const SampleCall& c : entry.calls)
            if (!(entry.traits & USES_STD_STREAMS))
                calls.push_back({entry.kind, entry.name, c.params, entry.traits | c.traits});
    return calls;
}

// One call: its result code, then its value for a function. The host
// answers from its arguments alone.
std::u16string Call(const NamedCall& c) {
    TestHost host;
    host.answer = SampleHostAnswer;
    TestCall call(c.name, c.params, 0);
    int32_t code = RunCall(host, call, c.kind);
    return U(std::to_string(code) + ":") + (c.kind == MODCALL_FUNCTION ? call.Result() : u"");
}

// Whether a thread's answer is the one a thread alone gets: of the same
// length for the time now; for the clipboard, also the empty value of a
// clipboard that another thread held too long.
bool Agrees(const NamedCall& c, const std::u16string& alone, const std::u16string& seen) {
    if (c.traits & READS_CLOCK) return alone.size() == seen.size();
    if ((c.traits & ONE_AT_A_TIME) && seen == u"1:") return true;
    return alone == seen;
}

// The world of the sample calls in a folder of its own, the current directory.
class ModuleThreads : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(world.Ready()); }
    SampleWorldFolder world;
};

size_t IndexOf(const std::vector<NamedCall>& calls, const std::u16string& name,
               const std::u16string& first) {
    for (size_t i = 0; i < calls.size(); ++i)
        if (calls[i].name == name && (calls[i].params.empty() ? u"" : calls[i].params[0]) == first)
            return i;
    ADD_FAILURE() << "no sample call " << Narrow(name) << "(" << Narrow(first) << ")";
    return 0;
}

// Each thread's answers, in order: the calls, `rounds` times, on all threads at once.
std::vector<std::vector<std::u16string>> OnEightThreads(const std::vector<NamedCall>& calls,
                                                        int rounds) {
    std::vector<std::vector<std::u16string>> seen(THREADS);
    std::atomic<int> waiting{THREADS};
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t)
        threads.emplace_back([&, t] {
            waiting.fetch_sub(1);
            while (waiting.load() > 0) {
            }
            for (int round = 0; round < rounds; ++round)
                for (const NamedCall& c : calls)
                    seen[t].push_back(Call(c));
        });
    for (std::thread& t : threads)
        t.join();
    return seen;
}

// Checks every thread's answers against one thread's alone; returns how
// many answers of call `counted` were the lone thread's.
size_t CheckAgainstAlone(const std::vector<NamedCall>& calls,
                         const std::vector<std::vector<std::u16string>>& seen,
                         const std::vector<std::u16string>& alone, size_t counted) {
    size_t same = 0;
    for (size_t t = 0; t < seen.size(); ++t)
        for (size_t i = 0; i < seen[t].size(); ++i) {
            size_t k = i % calls.size();
            EXPECT_TRUE(Agrees(calls[k], alone[k], seen[t][i]))
                << "thread " << t << ", call " << i << ": " << Narrow(seen[t][i]);
            if (::testing::Test::HasFailure()) return same;
            same += k == counted && seen[t][i] == alone[k];
        }
    return same;
}

TEST_F(ModuleThreads, EightThreadsGetWhatOneGets) {
    // The scan has not run in this process: the threads race for it.
    ASSERT_EQ(ERA_BOUNDARY_UNSCANNED, CurrentEraBoundary());
    const std::vector<NamedCall> calls = Calls();
    std::vector<std::vector<std::u16string>> seen = OnEightThreads(calls, ROUNDS);

    EXPECT_EQ(20300101u, CurrentEraBoundary());
    std::vector<std::u16string> alone;
    for (const NamedCall& c : calls)
        alone.push_back(Call(c));
    EXPECT_EQ(u"1:K02 \u5149\u660E02 2031-06-15 S106",
              alone[IndexOf(calls, u"NOWDATETIME", u"g G Y-N-D jS")]);
    EXPECT_EQ(u"1:abc", alone[IndexOf(calls, u"LEFTSTR", u"abcdef")]);
    EXPECT_EQ(u"1:E:", alone[IndexOf(calls, u"FINDDRIVE", u"Q:")]);
    EXPECT_EQ(u"1:C:", alone[IndexOf(calls, u"FINDDRIVE", u"C:\\Windows")]);
    size_t clipboard = IndexOf(calls, u"CLIPPEDTEXT", u"");
    EXPECT_EQ(u"1:a\tb\r\nc", alone[clipboard]);
    EXPECT_GT(CheckAgainstAlone(calls, seen, alone, clipboard), 0u)
        << "the clipboard was always busy";
}

// The calls that hold something one thread at a time, and nothing else, so
// that the threads meet there.
TEST_F(ModuleThreads, EightThreadsTakeTurnsAtTheClipboard) {
    std::vector<NamedCall> calls;
    for (const NamedCall& c : Calls())
        if (c.traits & ONE_AT_A_TIME) calls.push_back(c);
    ASSERT_FALSE(calls.empty());
    std::vector<std::vector<std::u16string>> seen = OnEightThreads(calls, 25 * ROUNDS);
    std::vector<std::u16string> alone;
    for (const NamedCall& c : calls)
        alone.push_back(Call(c));
    EXPECT_GT(CheckAgainstAlone(calls, seen, alone, 0), 0u) << "the clipboard was always busy";
}

} // namespace
