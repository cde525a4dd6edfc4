// Every name the module serves, with a few calls of each: the unit,
// fault-sweep, cross-build, thread and fuzz tests take their names and calls
// from this one table. A new name is one entry, in any place: the fuzz seeds
// name an entry by its name.
//
// The calls expect the world of sample_world.h (file.txt, dir*, drives C:
// SYSTEM 1A2B-3C4D with C:\Windows and E: BACKUP, no Q:, clipboard text, an
// era from 2030-01-01 on, standard input waiting), which tests build from there.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

// What a name or one of its calls needs beyond the world.
enum SampleTraits : uint32_t {
    // The answer depends on this machine (drives, clipboard, the system's
    // version): the builds are not compared on it.
    READS_MACHINE = 1,
    // Reads or writes the process's standard streams: not run on threads.
    USES_STD_STREAMS = 2,
    // Holds what one thread at a time may hold; while another thread holds
    // it the call gives the empty value.
    ONE_AT_A_TIME = 4,
    // The value depends on the moment of the call.
    READS_CLOCK = 8,
};

struct SampleCall {
    std::vector<std::u16string> params;
    uint32_t traits = 0; // added to the name's
};

struct SampleName {
    const char16_t* name; // upper case, as hosts pass it
    int32_t kind;         // MODCALL_FUNCTION or MODCALL_COMMAND
    uint32_t traits;
    std::vector<SampleCall> calls;
};

const std::vector<SampleName>& SampleNames();
