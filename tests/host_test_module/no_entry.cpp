// A library without ModuleEntry: murlin-host must refuse it.
#if defined(_WIN32)
#define EXPORTED __declspec(dllexport)
#else
#define EXPORTED __attribute__((visibility("default")))
#endif

extern "C" EXPORTED int NotAModule() {
    return 0;
}
