#include "tests/support/module_loader.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

std::string BuiltModulePath() {
    return std::string(MURLIN_BUILD_DIR) + "/" + MURLIN_MODULE_FILE;
}

LoadedModule LoadModule(const std::string& path) {
    LoadedModule module;
#if defined(_WIN32)
    HMODULE handle = ::LoadLibraryA(path.c_str());
    if (handle == nullptr) {
        module.error = "LoadLibrary failed: " + std::to_string(::GetLastError());
        return module;
    }
    module.handle = handle;
    module.entry = reinterpret_cast<ModuleEntryFunction>(
        reinterpret_cast<void*>(::GetProcAddress(handle, "ModuleEntry")));
#else
    module.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module.handle == nullptr) {
        module.error = dlerror();
        return module;
    }
    module.entry = reinterpret_cast<ModuleEntryFunction>(dlsym(module.handle, "ModuleEntry"));
#endif
    if (module.entry == nullptr) module.error = "no ModuleEntry";
    return module;
}

void UnloadModule(LoadedModule& module) {
    if (module.handle == nullptr) return;
#if defined(_WIN32)
    ::FreeLibrary(static_cast<HMODULE>(module.handle));
#else
    dlclose(module.handle);
#endif
    module.handle = nullptr;
    module.entry = nullptr;
}
