#include "manual.h"

#include <mutex>
#include <random>

#include "manual_platform.h"
#include "resource_registry.h"

namespace corvane::vst {

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

// Entry names use '/'; the platform's paths may not.
std::string withSeparators(std::string name) {
    for (char& c : name) {
        if (c == '/')
            c = kManualSeparator;
    }
    return name;
}

}  // namespace

std::string openManual(const ResourceRegistry& manual, const ManualSystem& system) {
    const std::string temporary = system.temporaryFolder ? system.temporaryFolder() : "";
    if (temporary.empty() || !system.open) {
        return {};
    }
    const std::string folder = temporary + randomFolderName() + kManualSeparator;
    for (const auto& entry : manual) {
        writeManualFile(folder + withSeparators(entry.first), manual.loadResource(entry.first));
    }
    const bool japanese = system.userLanguage && system.userLanguage() == kLanguageJapanese;
    const std::string path =
        folder + withSeparators(japanese ? kManualPageJapanese : kManualPageEnglish);
    return system.open(path) ? path : std::string();
}

}  // namespace corvane::vst
