#include "manual.h"

#include <windows.h>

#include <shellapi.h>

#include <mutex>
#include <random>

#include "resource_registry.h"

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
        ShellExecuteA(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    };
    return system;
}

std::string randomFolderName() {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::mutex guard;
    static std::mt19937 generator{std::random_device{}()};
    const std::lock_guard<std::mutex> lock(guard);
    std::string name(32, ' ');
    for (char& c : name) {
        c = kAlphabet[generator() % (sizeof kAlphabet - 1)];
    }
    return name;
}

namespace {

// Creates every folder along `path` (errors, such as existing folders, do not matter) and
// writes the bytes to its last component; false when the file cannot be written.
bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
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

std::string withBackslashes(std::string name) {
    for (char& c : name) {
        if (c == '/')
            c = '\\';
    }
    return name;
}

}  // namespace

std::string openManual(const ResourceRegistry& manual, const ManualSystem& system) {
    const std::string temporary = system.temporaryFolder();
    if (temporary.empty()) {
        return {};
    }
    const std::string folder = temporary + randomFolderName();
    for (const auto& entry : manual) {
        writeFile(folder + "\\" + withBackslashes(entry.first), manual.loadResource(entry.first));
    }
    const char* page =
        system.userLanguage() == kLanguageJapanese ? kManualPageJapanese : kManualPageEnglish;
    const std::string path = folder + withBackslashes(std::string("\\") + page);
    system.open(path);
    return path;
}

}  // namespace corvane::vst
