// ModuleEntry on eight threads at once, over the POSIX backend: every name
// that needs neither the console nor the clipboard, starting together so
// that the first g of each thread races for the era scan. Each thread must
// get what one thread alone gets; ThreadSanitizer watches the rest.
#include "datetime/era_calendar.h"
#include "module/module_api.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int THREADS = 8;
constexpr int ROUNDS = 20;

struct NamedCall {
    int32_t kind;
    const char16_t* name;
    std::u16string params; // each followed by its NUL, as the host lays them out
    uint32_t count;
};

// The host answers from its arguments alone, so any thread may call it.
intptr_t Host(HostInfo*, int32_t code, void* argument) {
    if (code == HOSTREQ_EXPAND) memcpy(argument, u"1", 2 * sizeof(char16_t));
    if (code == HOSTREQ_VERSION) return 11803;
    return code == HOSTREQ_MESSAGE ? 1 : 0;
}

std::u16string U(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::vector<NamedCall> Calls(const std::string& file) {
    auto list = [](std::vector<std::u16string> params) {
        std::u16string laid;
        for (const auto& p : params)
            laid += p + u'\0';
        return laid + u'\0';
    };
    const int32_t F = MODCALL_FUNCTION;
    const int32_t C = MODCALL_COMMAND;
    return {
        // First in every thread: the era scan.
        {F, u"NOWDATETIME", list({u"g G Y-N-D jS", U(file)}), 2},
        {F, u"NOWDATETIME", list({u"G", U(file), u"a"}), 3},
        {F, u"LEFTSTR", list({u"abcdef", u"3"}), 2},
        {F, u"RIGHTSTR", list({u"abcdef", u"2"}), 2},
        {F, u"MIDSTR", list({u"abcdef", u"2", u"3"}), 3},
        {F, u"SUBSTRING", list({std::u16string(3000, u's'), u"100"}), 2},
        {F, u"PADDING", list({u"42", u"5", u"0"}), 3},
        {F, u"FINDDRIVE", list({u"Q:", u"DATA", u"C:"}), 3},
        {F, u"VERSION", list({}), 0},
        {F, u"VERSION", list({u"w"}), 1},
        {C, u"ROTATEEXECUTE", list({u"menu", u"C1", u"C2"}), 3},
        {C, u"ROTATECUSTOMIZE", list({u"view", u"list", u"icons"}), 3},
    };
}

// One call: its result code, then its value for a function.
std::u16string Call(const NamedCall& c) {
    HostInfo host{Host, nullptr, nullptr, nullptr};
    std::vector<char16_t> buffer(RESULT_BUFFER_UNITS, 0);
    ModuleCall call{};
    call.name = c.name;
    call.nameKey = NameKey(c.name);
    call.resultBuffer = buffer.data();
    call.paramList = c.count > 0 ? c.params.c_str() : nullptr;
    call.paramCount = c.count;
    int32_t code = ModuleEntry(&host, c.kind, reinterpret_cast<intptr_t>(&call));
    return U(std::to_string(code) + ":") + (c.kind == MODCALL_FUNCTION ? buffer.data() : u"");
}

// A file written on 2031-06-15 at noon, an era list with an era from 2030
// on, and a drive labelled DATA.
class ModuleThreads : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(nullptr, mkdtemp(dir));
        file = std::string(dir) + "/stamp";
        eras = std::string(dir) + "/eras.txt";
        FILE* f = fopen(eras.c_str(), "wb");
        ASSERT_NE(nullptr, f);
        fputs("2019 05 01=\xE4\xBB\xA4\xE5\x92\x8C_\xE4\xBB\xA4_Reiwa_R\n"
              "2030 01 01=\xE5\x85\x89\xE6\x98\x8E_\xE5\x85\x89_Komei_K\n",
              f);
        fclose(f);
        f = fopen(file.c_str(), "wb");
        ASSERT_NE(nullptr, f);
        fclose(f);
        setenv("TZ", "UTC", 1);
        tzset();
        struct tm noon = {};
        noon.tm_year = 2031 - 1900;
        noon.tm_mon = 5;
        noon.tm_mday = 15;
        noon.tm_hour = 12;
        timespec times[2] = {{timegm(&noon), 0}, {timegm(&noon), 0}};
        ASSERT_EQ(0, utimensat(AT_FDCWD, file.c_str(), times, 0));
        setenv("MURLIN_ERAS", eras.c_str(), 1);
        setenv("MURLIN_DRIVES", ("C=/;D=" + std::string(dir) + "|DATA|1A2B3C4D").c_str(), 1);
    }
    void TearDown() override {
        unlink(file.c_str());
        unlink(eras.c_str());
        rmdir(dir);
    }
    char dir[32] = "/tmp/murlin-threads-XXXXXX";
    std::string file, eras;
};

TEST_F(ModuleThreads, EightThreadsGetWhatOneGets) {
    // The scan has not run in this process: the threads race for it.
    ASSERT_EQ(ERA_BOUNDARY_UNSCANNED, CurrentEraBoundary());
    const std::vector<NamedCall> calls = Calls(file);
    std::vector<std::vector<std::u16string>> seen(THREADS);
    std::atomic<int> waiting{THREADS};
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t)
        threads.emplace_back([&, t] {
            waiting.fetch_sub(1);
            while (waiting.load() > 0) {
            }
            for (int round = 0; round < ROUNDS; ++round)
                for (const NamedCall& c : calls)
                    seen[t].push_back(Call(c));
        });
    for (std::thread& t : threads)
        t.join();

    EXPECT_EQ(20300101u, CurrentEraBoundary());
    std::vector<std::u16string> alone;
    for (const NamedCall& c : calls)
        alone.push_back(Call(c));
    EXPECT_EQ(u"1:K02 \u5149\u660E02 2031-06-15 S106", alone[0]);
    EXPECT_EQ(u"1:abc", alone[2]);
    EXPECT_EQ(u"1:D:", alone[7]);
    for (int t = 0; t < THREADS; ++t)
        for (size_t i = 0; i < seen[t].size(); ++i)
            ASSERT_EQ(alone[i % calls.size()], seen[t][i]) << "thread " << t << ", call " << i;
}

} // namespace
