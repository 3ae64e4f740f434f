#include "module_entry.h"

#include "pluginterfaces/base/fplatform.h"

#if SMTG_OS_WINDOWS
#include <windows.h>
#endif

namespace Steinberg {

namespace {
void* handle = nullptr;
std::wstring& directory() {
    static std::wstring folder;
    return folder;
}
}  // namespace

void* moduleHandle() {
    return handle;
}
const std::wstring& moduleDirectory() {
    return directory();
}

}  // namespace Steinberg

#if SMTG_OS_WINDOWS

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        Steinberg::handle = instance;
        wchar_t path[MAX_PATH * 2] = {};
        const DWORD length = GetModuleFileNameW(instance, path, MAX_PATH * 2);
        std::wstring folder(path, length);
        const std::size_t slash = folder.find_last_of(L"\\/");
        Steinberg::directory() = slash == std::wstring::npos ? L"" : folder.substr(0, slash + 1);
    }
    return TRUE;
}

extern "C" bool InitDll() {
    return InitModule();
}
extern "C" bool ExitDll() {
    return DeinitModule();
}

#else

extern "C" __attribute__((visibility("default"))) bool ModuleEntry(void* sharedLibraryHandle) {
    Steinberg::handle = sharedLibraryHandle;
    return InitModule();
}

extern "C" __attribute__((visibility("default"))) bool ModuleExit() {
    return DeinitModule();
}

#endif
