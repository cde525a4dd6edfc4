// POSIX backend, the operating system's version: the kernel release from
// uname, "6.1.0-18-amd64" read as major 6, minor 1, build 0. MURLIN_OS_VERSION
// stands in for it when set, with a service pack text after a blank:
// "6.1.7601 Service Pack 1".
#include "platform/win32_emulation/codepage.h"
#include "platform/platform.h"

#include <stdlib.h>
#include <string.h>
#include <sys/utsname.h>

namespace {

// Reads a decimal number at p and steps past one following dot.
os::DWORD NextNumber(const char*& p) {
    os::DWORD value = 0;
    while (*p >= '0' && *p <= '9')
        value = value * 10 + static_cast<os::DWORD>(*p++ - '0');
    if (*p == '.') ++p;
    return value;
}

} // namespace

namespace os {

BOOL GetVersionExW(OSVERSIONINFOW* info) {
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) return 0;
    struct utsname names;
    const char* p = getenv("MURLIN_OS_VERSION");
    if (p == nullptr) {
        if (uname(&names) != 0) return 0;
        p = names.release;
    }
    info->dwMajorVersion = NextNumber(p);
    info->dwMinorVersion = NextNumber(p);
    info->dwBuildNumber = NextNumber(p);
    info->dwPlatformId = 2; // VER_PLATFORM_WIN32_NT
    memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    // A kernel release goes on with "-18-amd64": no service pack text.
    if (*p == ' ' && Utf8ToUtf16(p + 1, info->szCSDVersion, 128) < 0) info->szCSDVersion[0] = 0;
    return 1;
}

} // namespace os
