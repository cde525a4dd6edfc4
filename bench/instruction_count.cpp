// Runs one call of single_calls.h a given number of times, for callgrind to
// count the instructions of Counted alone:
//   murlin_instructions NAME module|plain COUNT
// NAME is a single call's, or STDOUT: a text of STDOUT_UNITS letters
// written to /dev/null. One call before counting resolves the module's
// symbols, which would otherwise be counted into the first call.
#include "bench/bench_call.h"
#include "bench/single_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace {

constexpr size_t STDOUT_UNITS = 64 * 1024;

struct Counting {
    BenchCall* call;
    PlainCall plain;        // a single call's baseline, or null
    const std::u16string* text; // STDOUT's text, or null
    bool module;
};

int32_t RunOnce(const Counting& c) {
    if (c.text != nullptr) {
        if (c.module) return c.call->Run(MODCALL_COMMAND);
        PlainStdOut(c.text->c_str(), c.text->size());
        return 1;
    }
    return c.module ? c.call->Run() : c.plain(c.call->call.paramList, c.call->call.resultBuffer);
}

__attribute__((noinline)) int32_t Counted(const Counting& c, long count) {
    int32_t last = 0;
    for (long i = 0; i < count; ++i) {
        last = RunOnce(c);
        asm volatile("" ::: "memory");
    }
    return last;
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
    Counting c{&call, stdOut ? nullptr : row->plain, stdOut ? &text : nullptr,
               strcmp(argv[2], "module") == 0};
    if (stdOut) {
        int sink = open("/dev/null", O_WRONLY);
        dup2(sink, 1);
        close(sink);
    }
    Counted(c, 1);
    return Counted(c, atol(argv[3])) == 1 ? 0 : 1;
}
