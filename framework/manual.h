// Writing the embedded manual to a fresh temporary folder and opening it.
#pragma once

#include <functional>
#include <string>

namespace corvane::vst {

class ResourceRegistry;

// What openManual asks of the system; tests replace it. An empty function counts as "none".
struct ManualSystem {
    std::function<std::string()> temporaryFolder;       // with a trailing separator; empty: none
    std::function<unsigned short()> userLanguage;       // a Windows language id
    std::function<bool(const std::string& path)> open;  // false: could not be opened

#if defined(_WIN32)
    // GetTempPath, the user's default language id, ShellExecute.
    static ManualSystem windows();
#else
    // $TMPDIR or /tmp; the language of LC_ALL, LC_MESSAGES or LANG; xdg-open from $PATH,
    // started detached.
    static ManualSystem linux();
#endif

    static ManualSystem native() {
#if defined(_WIN32)
        return windows();
#else
        return linux();
#endif
    }
};

// The manual's pages, as entry names of the manual registry.
constexpr const char* kManualPageJapanese = "ja/index.html";
constexpr const char* kManualPageEnglish = "en/index.html";
constexpr unsigned short kLanguageJapanese = 1041;
constexpr unsigned short kLanguageEnglish = 1033;

// Writes every entry of `manual` under <temporary folder><32 random characters><separator>
// (backslash on Windows, slash elsewhere), creating folders as needed (a file that cannot be
// written is skipped), then opens the Japanese page for a Japanese user and the English one
// otherwise. Answers the path it opened, or "" when there is no temporary folder or the page
// could not be opened.
std::string openManual(const ResourceRegistry& manual,
                       const ManualSystem& system = ManualSystem::native());

// 32 characters for a folder name, from a process-wide generator seeded once.
std::string randomFolderName();

}  // namespace corvane::vst
