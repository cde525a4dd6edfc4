// murlin-host's entry: the wide command line on Windows, UTF-8 elsewhere.
#include "host/host.h"

#include <string>
#include <vector>

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv) {
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg(argv[i]);
        args.emplace_back(arg.begin(), arg.end());
    }
    return murlin_host::Main(args);
}
#else
int main(int argc, char** argv) {
    std::vector<std::u16string> args;
    for (int i = 1; i < argc; ++i)
        args.push_back(murlin_host::FromUtf8(argv[i]));
    return murlin_host::Main(args);
}
#endif
