// libFuzzer target: murlin-host's rewrite of a settings file. Whatever the
// file holds and whatever the name and value, the rewritten file reads back
// the new value under the name and every other setting as it was.
//
// An input: the name's length in bytes, the value's length, the name and the
// value as UTF-8, then the file's bytes.
#include "host/host.h"

#include <stdio.h>

namespace {

[[noreturn]] void Finding(const char* what) {
    fprintf(stderr, "finding: %s\n", what);
    __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using murlin_host::Settings;
    if (size < 2 || size - 2 < size_t{data[0]} + data[1]) return 0;
    const char* bytes = reinterpret_cast<const char*>(data) + 2;
    std::u16string name = murlin_host::FromUtf8(std::string(bytes, data[0]));
    std::u16string value = murlin_host::FromUtf8(std::string(bytes + data[0], data[1]));
    std::string file(bytes + data[0] + data[1], size - 2 - data[0] - data[1]);
    if (name.empty()) return 0; // *setcust and *customize refuse an empty name

    auto before = Settings::Parse(file);
    auto after = Settings::Parse(Settings::Rewrite(file, name, value));
    auto found = after.find(name);
    if (found == after.end() || found->second != value) Finding("the new value does not read back");
    after.erase(name);
    before.erase(name);
    if (after != before) Finding("another setting changed");
    return 0;
}
