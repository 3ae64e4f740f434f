// What the manual needs from Windows: the temporary folder, the user's language, files, the shell.
#include <windows.h>

#include <shellapi.h>

#include "manual.h"
#include "manual_platform.h"

namespace corvane::vst {

ManualSystem ManualSystem::windows() {
    ManualSystem system;
    system.temporaryFolder = [] {
        char path[261] = {};
        const DWORD length = GetTempPathA(sizeof path, path);
        return length == 0 || length >= sizeof path ? std::string() : std::string(path, length);
    };
    system.userLanguage = [] { return static_cast<unsigned short>(GetUserDefaultLangID()); };
    system.open = [](const std::string& path) {
        // Values above 32 mean success; lower ones are error codes.
        const HINSTANCE result =
            ShellExecuteA(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return reinterpret_cast<INT_PTR>(result) > 32;
    };
    return system;
}

bool writeManualFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    for (std::size_t at = path.find('\\', 3); at != std::string::npos;
         at = path.find('\\', at + 1)) {
        CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    }
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

}  // namespace corvane::vst
