// libFuzzer target: any name of the dispatch table, any parameters and any
// host answers, through ModuleEntry over the recording fake platform. Built
// with clang and -DMURLIN_FUZZ=ON; run with scripts/fuzz.sh.
#include "module/module_api.h"
#include "platform/testing/fake_platform.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const char16_t* const NAMES[] = {
    u"CLIPPEDTEXT",     u"FINDDRIVE",     u"NOWDATETIME", u"STDIN",   u"LEFTSTR",
    u"MIDSTR",          u"SUBSTRING",     u"RIGHTSTR",    u"PADDING", u"VERSION",
    u"ROTATECUSTOMIZE", u"ROTATEEXECUTE", u"STDOUT",      u"STDERR",  u"LEFTST",
};
constexpr size_t NAME_COUNT = sizeof(NAMES) / sizeof(NAMES[0]);

intptr_t g_answer = 0;
std::u16string g_expansion;

intptr_t FuzzHost(HostInfo*, int32_t code, void* argument) {
    if (code == HOSTREQ_EXPAND && argument != nullptr) {
        size_t n = g_expansion.size() < 1023 ? g_expansion.size() : 1023;
        std::memcpy(argument, g_expansion.data(), n * sizeof(char16_t));
        static_cast<char16_t*>(argument)[n] = 0;
    }
    return g_answer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    fake::Reset();
    fake::Platform& state = fake::State();
    state.logicalDrives = 0x3FFFFFF;
    state.volumes[u'C'] = {u"SYSTEM", 0x1A2B3C4D};
    state.clipboardHasText = (data[1] & 1) != 0;
    if ((data[1] & 2) == 0) fake::FailNth(fake::Op::RegOpenKeyExW, 1, true);
    state.registryValues = {{u"2019 05 01", u"\u4EE4\u548C_\u4EE4_Reiwa_R"},
                            {u"2030 01 01", u"??"}};

    const char16_t* name = NAMES[data[0] % NAME_COUNT];
    int32_t kind = (data[1] & 4) ? MODCALL_COMMAND : MODCALL_FUNCTION;
    g_answer = (data[1] & 8) ? 1 : 0;

    // The rest, as UTF-16 units, split into parameters at each zero unit;
    // the first parameter doubles as the host's expansion.
    std::vector<char16_t> params;
    uint32_t count = 0;
    for (size_t i = 2; i + 1 < size; i += 2) {
        char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        params.push_back(unit);
        if (unit == 0) ++count;
    }
    if (params.empty() || params.back() != 0) {
        params.push_back(0);
        ++count;
    }
    g_expansion.assign(params.data());
    state.clipboardText = g_expansion;
    state.readFile = [&](os::HANDLE, void* buffer, os::DWORD n, os::DWORD* got) -> os::BOOL {
        static int reads = 0;
        if (++reads % 3 == 0) return 0;
        os::DWORD k = n < size ? static_cast<os::DWORD>(n) : static_cast<os::DWORD>(size);
        std::memcpy(buffer, data, k);
        *got = k;
        return 1;
    };

    std::vector<char16_t> result(1024, 0xAAAA);
    HostInfo host{FuzzHost, nullptr, nullptr, nullptr};
    ModuleCall call{};
    call.name = name;
    call.nameKey = NameKey(name);
    call.resultBuffer = result.data();
    call.paramList = params.data();
    call.paramCount = count;
    ModuleEntry(&host, kind, reinterpret_cast<intptr_t>(&call));
    return 0;
}
