// VERSION: the host's version, or the operating system's build, version
// number or full version, chosen by the first unit of parameter 1.
#include "module/handlers.h"
#include "module/params.h"
#include "platform/platform.h"

namespace {

enum class VersionMode { HostVersion, HostNumber, OsBuild, OsNumber, OsFull };

VersionMode ChooseMode(const ModuleCall* call) {
    if (call->paramCount < 1) return VersionMode::HostVersion;
    switch (call->paramList[0]) {
    case u'b':
        return VersionMode::OsBuild;
    case u'n':
        return VersionMode::HostNumber;
    case u'o':
        return VersionMode::OsNumber;
    case u'w':
        return VersionMode::OsFull;
    default:
        return VersionMode::HostVersion;
    }
}

} // namespace

int32_t HANDLER_CONV Version(HostInfo* host, int32_t, ModuleCall* call) {
    char16_t* result = call->resultBuffer;
    VersionMode mode = ChooseMode(call);
    if (mode == VersionMode::HostVersion || mode == VersionMode::HostNumber) {
        auto v = static_cast<uint32_t>(AskHost(host, HOSTREQ_VERSION, nullptr));
        if (mode == VersionMode::HostNumber) {
            os::wsprintfW(result, u"%d", static_cast<int32_t>(v));
        } else if (v % 100 != 0) {
            os::wsprintfW(result, u"%d.%02d+%d", static_cast<int32_t>(v / 10000),
                          static_cast<int32_t>(v / 100 % 100), static_cast<int32_t>(v % 100));
        } else {
            os::wsprintfW(result, u"%d.%02d", static_cast<int32_t>(v / 10000),
                          static_cast<int32_t>(v / 100 % 100));
        }
        return RESULT_SERVED;
    }

    // Zeroed, so a failing call still gives defined fields.
    os::OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(os::OSVERSIONINFOW);
    os::GetVersionExW(&info);
    info.szCSDVersion[127] = 0;
    switch (mode) {
    case VersionMode::OsBuild:
        os::wsprintfW(result, u"%d", static_cast<int32_t>(info.dwBuildNumber));
        break;
    case VersionMode::OsNumber:
        os::wsprintfW(result, u"%04d",
                      static_cast<int32_t>(info.dwMajorVersion * 100 + info.dwMinorVersion));
        break;
    default:
        // "%0d" (a zero flag without a width, so no padding) is the format as
        // it has always been passed; kept as it stands.
        os::wsprintfW(result, u"%0d.%02d(%d %s)", static_cast<int32_t>(info.dwMajorVersion),
                      static_cast<int32_t>(info.dwMinorVersion),
                      static_cast<int32_t>(info.dwBuildNumber), info.szCSDVersion);
        break;
    }
    return RESULT_SERVED;
}
