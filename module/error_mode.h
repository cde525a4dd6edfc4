// The thread's error mode while a handler asks the file system: the host's
// own mode with SEM_FAILCRITICALERRORS added, so that a drive without a
// medium answers with an error rather than the system's box, and nothing the
// host chose (SEM_NOOPENFILEERRORBOX, SEM_NOGPFAULTERRORBOX) is off meanwhile.
#pragma once

#include "platform/platform.h"

// Adds SEM_FAILCRITICALERRORS to the thread's mode and gives the mode before
// in hostMode, for RestoreErrorMode. False when no mode could be set (the
// mode is then as it was).
inline bool QuietCriticalErrors(os::DWORD* hostMode) {
    // The mode is read only by setting one: the flag alone, then the host's
    // mode with it.
    if (!os::SetThreadErrorMode(os::SEM_FAILCRITICALERRORS, hostMode)) return false;
    os::DWORD quiet = *hostMode | os::SEM_FAILCRITICALERRORS;
    if (quiet != os::SEM_FAILCRITICALERRORS) os::SetThreadErrorMode(quiet, nullptr);
    return true;
}

// Puts back the mode that QuietCriticalErrors found.
inline void RestoreErrorMode(os::DWORD hostMode) {
    os::SetThreadErrorMode(hostMode, nullptr);
}
