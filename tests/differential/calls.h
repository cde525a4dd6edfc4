// The calls of the cross-build comparison: every name of the table of sample
// calls whose answer does not depend on the machine, with random parameters,
// input and host answers.
// Call i of a seed is the same in every build (a generator of our own over
// fixed-width integers) and does not depend on how many calls are made.
#pragma once

#include "module/module_api.h"

#include <stdint.h>
#include <string>
#include <vector>

namespace differential {

// One file or directory that NOWDATETIME reads. Its write and access times are
// set just before the call; creation times are never asked for, because Wine
// on Linux reports a file's write time as its creation time.
struct DatedEntry {
    const char16_t* name;
    const char* utf8Name; // the same name in UTF-8, for the runner
    bool directory;
};

// The entries, created by each runner in its own empty directory.
extern const DatedEntry DATED_ENTRIES[];
extern const uint32_t DATED_ENTRY_COUNT;

struct Call {
    const char16_t* name;
    int32_t kind;
    std::vector<std::u16string> params;
    std::string input;       // STDIN: the bytes in the pipe, whose writer has closed
    int32_t datedEntry = -1; // NOWDATETIME: index into DATED_ENTRIES
    uint64_t writeTime = 0;  // FILETIME values set on that entry
    uint64_t accessTime = 0;
    std::u16string expansion;   // written into the HOSTREQ_EXPAND buffer (cut at 1023)
    intptr_t executeAnswer = 0; // the HOSTREQ_EXECUTE result
    intptr_t messageAnswer = 1; // 1 shows the text; anything else declines it
    intptr_t longAnswer = 1;    // 1 takes the long value; anything else declines it
};

Call MakeCall(uint64_t seed, uint32_t index);

// The call written out, to check that every build made the same one.
std::string DescribeInput(const Call& call);

// Printable ASCII as it is; everything else, the escape and the field
// separator as \uXXXX or \xHH.
std::string EscapeUnits(const std::u16string& text);
std::string EscapeBytes(const std::string& bytes);

} // namespace differential
