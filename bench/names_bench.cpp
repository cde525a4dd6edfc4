// The names called one at a time through ModuleEntry of the built module,
// each against plain C that does the same observable work on the same
// ParamList: a hand-written parse and copy, or the C library's clock and
// formatter. bench/run_all.sh prints the ratios.
#include "bench/bench_call.h"

#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <time.h>

namespace {

// Baselines are called as functions the compiler knows nothing about, as
// the module's entry is.
#define PLAIN __attribute__((noinline, noipa))

PLAIN uint32_t PlainDecimal(const char16_t*& p) {
    while (*p == u' ')
        ++p;
    uint32_t n = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p)
        n = n * 10 + static_cast<uint32_t>(*p - u'0');
    return n;
}

PLAIN int32_t PlainLeftStr(const char16_t* params, char16_t* out) {
    size_t length = 0;
    while (params[length] != 0)
        ++length;
    const char16_t* p = params + length + 1;
    size_t n = PlainDecimal(p);
    if (n > length) n = length;
    for (size_t i = 0; i < n; ++i)
        out[i] = params[i];
    out[n] = 0;
    return 1;
}

PLAIN int32_t PlainMidStr(const char16_t* params, char16_t* out) {
    size_t length = 0;
    while (params[length] != 0)
        ++length;
    const char16_t* p = params + length + 1;
    size_t index = PlainDecimal(p);
    ++p;
    size_t n = PlainDecimal(p);
    if (index > length) index = length;
    if (n > length - index) n = length - index;
    for (size_t i = 0; i < n; ++i)
        out[i] = params[index + i];
    out[n] = 0;
    return 1;
}

PLAIN int32_t PlainPadding(const char16_t* params, char16_t* out) {
    size_t length = 0;
    while (params[length] != 0)
        ++length;
    const char16_t* p = params + length + 1;
    size_t width = PlainDecimal(p);
    char16_t pad = p[1];
    size_t padCount = length < width ? width - length : 0;
    for (size_t i = 0; i < padCount; ++i)
        out[i] = pad;
    for (size_t i = 0; i < length; ++i)
        out[padCount + i] = params[i];
    out[padCount + length] = 0;
    return 1;
}

PLAIN int32_t PlainNowDateTime(char16_t* out) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm parts;
    localtime_r(&now.tv_sec, &parts);
    char text[64];
    size_t n = strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(text[i]);
    out[n] = 0;
    return 1;
}

// Drive C: is the root directory, unless MURLIN_DRIVES says otherwise.
PLAIN int32_t PlainFindDrive(char16_t* out) {
    const char* drives = getenv("MURLIN_DRIVES");
    struct stat info;
    if (drives != nullptr || stat("/", &info) != 0) return -1;
    out[0] = u'C';
    out[1] = u':';
    out[2] = 0;
    return 1;
}

PLAIN int32_t PlainVersion(char16_t* out) {
    struct utsname names;
    if (uname(&names) != 0) return -1;
    unsigned parts[3] = {0, 0, 0};
    const char* p = names.release;
    for (unsigned& part : parts) {
        for (; *p >= '0' && *p <= '9'; ++p)
            part = part * 10 + static_cast<unsigned>(*p - '0');
        if (*p == '.') ++p;
    }
    char text[64];
    int n = snprintf(text, sizeof text, "%u.%02u(%u )", parts[0], parts[1], parts[2]);
    for (int i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(text[i]);
    out[n < 0 ? 0 : n] = 0;
    return 1;
}

void Expect(benchmark::State& state, const std::u16string& got, const std::u16string& wanted) {
    if (got != wanted) state.SkipWithError("wrong value");
}

template <typename Body> void Loop(benchmark::State& state, Body body) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(body());
        benchmark::ClobberMemory();
    }
}

void BM_LEFTSTR_module(benchmark::State& state) {
    BenchCall c(u"LEFTSTR", {u"abcdef", u"3"});
    Loop(state, [&] { return c.Run(); });
    Expect(state, c.Result(), u"abc");
}
void BM_LEFTSTR_plain(benchmark::State& state) {
    BenchCall c(u"LEFTSTR", {u"abcdef", u"3"});
    Loop(state, [&] { return PlainLeftStr(c.call.paramList, c.call.resultBuffer); });
    Expect(state, c.Result(), u"abc");
}

void BM_MIDSTR_module(benchmark::State& state) {
    BenchCall c(u"MIDSTR", {u"abcdef", u"2", u"3"});
    Loop(state, [&] { return c.Run(); });
    Expect(state, c.Result(), u"cde");
}
void BM_MIDSTR_plain(benchmark::State& state) {
    BenchCall c(u"MIDSTR", {u"abcdef", u"2", u"3"});
    Loop(state, [&] { return PlainMidStr(c.call.paramList, c.call.resultBuffer); });
    Expect(state, c.Result(), u"cde");
}

void BM_PADDING_module(benchmark::State& state) {
    BenchCall c(u"PADDING", {u"42", u"5", u"0"});
    Loop(state, [&] { return c.Run(); });
    Expect(state, c.Result(), u"00042");
}
void BM_PADDING_plain(benchmark::State& state) {
    BenchCall c(u"PADDING", {u"42", u"5", u"0"});
    Loop(state, [&] { return PlainPadding(c.call.paramList, c.call.resultBuffer); });
    Expect(state, c.Result(), u"00042");
}

void BM_NOWDATETIME_module(benchmark::State& state) {
    BenchCall c(u"NOWDATETIME", {u"Y-N-D H:M:S"});
    Loop(state, [&] { return c.Run(); });
    if (c.Result().size() != 19) state.SkipWithError("wrong value");
}
void BM_NOWDATETIME_plain(benchmark::State& state) {
    BenchCall c(u"NOWDATETIME", {u"Y-N-D H:M:S"});
    Loop(state, [&] { return PlainNowDateTime(c.call.resultBuffer); });
    if (c.Result().size() != 19) state.SkipWithError("wrong value");
}

void BM_FINDDRIVE_module(benchmark::State& state) {
    BenchCall c(u"FINDDRIVE", {u"C:"});
    Loop(state, [&] { return c.Run(); });
    Expect(state, c.Result(), u"C:");
}
void BM_FINDDRIVE_plain(benchmark::State& state) {
    BenchCall c(u"FINDDRIVE", {u"C:"});
    Loop(state, [&] { return PlainFindDrive(c.call.resultBuffer); });
    Expect(state, c.Result(), u"C:");
}

void BM_VERSION_module(benchmark::State& state) {
    BenchCall c(u"VERSION", {u"w"});
    Loop(state, [&] { return c.Run(); });
    BenchCall plain(u"VERSION", {u"w"});
    PlainVersion(plain.call.resultBuffer);
    Expect(state, c.Result(), plain.Result());
}
void BM_VERSION_plain(benchmark::State& state) {
    BenchCall c(u"VERSION", {u"w"});
    Loop(state, [&] { return PlainVersion(c.call.resultBuffer); });
}

// Each module run next to its baseline, so both see the same machine.
BENCHMARK(BM_LEFTSTR_module);
BENCHMARK(BM_LEFTSTR_plain);
BENCHMARK(BM_MIDSTR_module);
BENCHMARK(BM_MIDSTR_plain);
BENCHMARK(BM_PADDING_module);
BENCHMARK(BM_PADDING_plain);
BENCHMARK(BM_NOWDATETIME_module);
BENCHMARK(BM_NOWDATETIME_plain);
BENCHMARK(BM_FINDDRIVE_module);
BENCHMARK(BM_FINDDRIVE_plain);
BENCHMARK(BM_VERSION_module);
BENCHMARK(BM_VERSION_plain);

} // namespace
