// Runs one call of single_calls.h a given number of times, for callgrind to
// count the instructions of Counted alone:
//   murlin_instructions NAME module|plain COUNT
// NAME is a single call's, or STDOUT: a text of STDOUT_UNITS letters
// written to /dev/null.
#include "bench/bench_call.h"
#include "bench/single_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace {

constexpr size_t STDOUT_UNITS = 64 * 1024;

// One loop for each kind of call, so that no loop tests which kind it runs.
__attribute__((noinline)) int32_t CountedModule(BenchCall& c, int32_t kind, long count) {
    int32_t last = 0;
    for (long i = 0; i < count; ++i) {
        last = c.Run(kind);
        asm volatile("" ::: "memory");
    }
    return last;
}

__attribute__((noinline)) int32_t CountedPlain(BenchCall& c, PlainCall plain, long count) {
    int32_t last = 0;
    for (long i = 0; i < count; ++i) {
        last = plain(c.call.paramList, c.call.resultBuffer);
        asm volatile("" ::: "memory");
    }
    return last;
}

__attribute__((noinline)) int32_t CountedPlainStdOut(const std::u16string& text, long count) {
    for (long i = 0; i < count; ++i) {
        PlainStdOut(text.c_str(), text.size());
        asm volatile("" ::: "memory");
    }
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    bool stdOut = argc == 4 && strcmp(argv[1], "STDOUT") == 0;
    const SingleCall* row = argc == 4 && !stdOut ? FindSingleCall(argv[1]) : nullptr;
    if ((row == nullptr && !stdOut) ||
        (strcmp(argv[2], "module") != 0 && strcmp(argv[2], "plain") != 0)) {
        fprintf(stderr, "usage: murlin_instructions NAME|STDOUT module|plain COUNT\n");
        return 2;
    }
    std::u16string text = stdOut ? StdOutText(STDOUT_UNITS) : std::u16string();
    BenchCall call(stdOut ? u"STDOUT" : row->name,
                   stdOut ? std::vector<std::u16string>{text} : row->params);
    bool module = strcmp(argv[2], "module") == 0;
    if (stdOut) {
        int sink = open("/dev/null", O_WRONLY);
        dup2(sink, 1);
        close(sink);
    }
    long count = atol(argv[3]);
    int32_t kind = stdOut ? MODCALL_COMMAND : MODCALL_FUNCTION;
    // One call outside the counted loops resolves the symbols either side uses.
    if (module) {
        call.Run(kind);
        return CountedModule(call, kind, count) == 1 ? 0 : 1;
    }
    if (stdOut) {
        PlainStdOut(text.c_str(), text.size());
        return CountedPlainStdOut(text, count) == 1 ? 0 : 1;
    }
    row->plain(call.call.paramList, call.call.resultBuffer);
    return CountedPlain(call, row->plain, count) == 1 ? 0 : 1;
}
