// The single calls measured: a name called through ModuleEntry of the built
// module, and plain C that does the same observable work on the same
// ParamList. names_bench.cpp times them; instruction_count.cpp counts their
// instructions under callgrind.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

typedef int32_t (*PlainCall)(const char16_t* params, char16_t* out);

struct SingleCall {
    const char* label; // the module's name for the call, in ASCII
    const char16_t* name;
    std::vector<std::u16string> params;
    PlainCall plain;
    // The value both sides must give; null when the plain side's value is
    // the measure, and then only its length when the value is a clock's.
    const char16_t* value;
    bool clock;
};

const std::vector<SingleCall>& SingleCalls();

// The call of that label, or null.
const SingleCall* FindSingleCall(const char* label);

// True when the module's value agrees with what the row expects; plainValue
// is the plain side's value for the same call.
bool ValuesAgree(const SingleCall& row, const std::u16string& moduleValue,
                 const std::u16string& plainValue);

// *StdOut's baseline: the text narrowed by a cast in pieces of 1024 units,
// each piece written to standard output whole. units is a multiple of 1024.
void PlainStdOut(const char16_t* text, size_t units);

// The text *StdOut is measured with: units letters, a to z over and over.
std::u16string StdOutText(size_t units);
