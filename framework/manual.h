// Writing the embedded manual to a fresh temporary folder and opening it.
#pragma once

#include <functional>
#include <string>

namespace corvane::vst {

class ResourceRegistry;

// What openManual asks of the system; tests replace it.
struct ManualSystem {
    std::function<std::string()> temporaryFolder;  // with a trailing separator; empty: none
    std::function<unsigned short()> userLanguage;  // a Windows language id
    std::function<void(const std::string& path)> open;

    static ManualSystem windows();
};

// The manual's pages, as entry names of the manual registry.
constexpr const char* kManualPageJapanese = "ja/index.html";
constexpr const char* kManualPageEnglish = "en/index.html";
constexpr unsigned short kLanguageJapanese = 1041;

// Writes every entry of `manual` under <temporary folder><32 random characters>\, creating
// folders as needed (a file that cannot be written is skipped), then opens the Japanese page
// for a Japanese user and the English one otherwise. Answers the path it opened, or "" when
// there is no temporary folder.
std::string openManual(const ResourceRegistry& manual,
                       const ManualSystem& system = ManualSystem::windows());

// 32 characters for a folder name, from a process-wide generator seeded once.
std::string randomFolderName();

}  // namespace corvane::vst
