// Loads a built plug-in module the way a host does and hands out its factory.
// Windows: LoadLibraryW, InitDll, GetPluginFactory, and ExitDll/FreeLibrary on unload.
// Linux: dlopen, ModuleEntry, GetPluginFactory, and ModuleExit/dlclose.
#pragma once

#include <stdexcept>
#include <string>

#include "pluginterfaces/base/ipluginbase.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace quenvale::hosting {

class LoadedModule {
  public:
    explicit LoadedModule(const std::string& path) {
#if defined(_WIN32)
        const std::wstring wide(path.begin(), path.end());
        library = LoadLibraryW(wide.c_str());
        if (!library)
            throw std::runtime_error("cannot load " + path);
        using Init = bool (*)();
        auto init = reinterpret_cast<Init>(symbol("InitDll"));
        if (!init || !init()) {
            FreeLibrary(static_cast<HMODULE>(library));
            throw std::runtime_error("InitDll failed for " + path);
        }
#else
        library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library)
            throw std::runtime_error("cannot load " + path + ": " + dlerror());
        using Entry = bool (*)(void*);
        auto entry = reinterpret_cast<Entry>(symbol("ModuleEntry"));
        if (!entry || !entry(library)) {
            dlclose(library);
            throw std::runtime_error("ModuleEntry failed for " + path);
        }
#endif
    }

    ~LoadedModule() {
#if defined(_WIN32)
        using Exit = bool (*)();
        if (auto exit = reinterpret_cast<Exit>(symbol("ExitDll")))
            exit();
        FreeLibrary(static_cast<HMODULE>(library));
#else
        using Exit = bool (*)();
        if (auto exit = reinterpret_cast<Exit>(symbol("ModuleExit")))
            exit();
        dlclose(library);
#endif
    }

    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    // A new factory with one reference (the caller releases it), or null.
    Steinberg::IPluginFactory* factory() const {
        using Get = Steinberg::IPluginFactory* (*)();
        auto get = reinterpret_cast<Get>(symbol("GetPluginFactory"));
        return get ? get() : nullptr;
    }

    void* symbol(const char* name) const {
#if defined(_WIN32)
        return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
        return dlsym(library, name);
#endif
    }

  private:
    void* library = nullptr;
};

}  // namespace quenvale::hosting
