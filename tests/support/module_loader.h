// Loads a built module and finds its one export, as a host does.
#pragma once

#include "module/module_api.h"

#include <string>

struct LoadedModule {
    void* handle = nullptr;
    ModuleEntryFunction entry = nullptr;
    std::string error;
};

// The module built beside the test programs.
std::string BuiltModulePath();
LoadedModule LoadModule(const std::string& path);
void UnloadModule(LoadedModule& module);
