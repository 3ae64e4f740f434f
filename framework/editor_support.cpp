#include <cctype>
#include <chrono>
#include <exception>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "editor_base.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace corvane::vst {

Steinberg::int64 systemTicks() {
    using Ticks = std::chrono::duration<Steinberg::int64, std::ratio<1, 10'000'000>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string currentErrorText() {
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (const std::string& text) {
        return text;
    } catch (...) {
        return kLayoutUnknownError;
    }
}

std::string readTextFile(const std::string& path) {
    std::ifstream file(path);
    if (!file)
        return {};
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeTextFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::out | std::ios::trunc);
    if (file)
        file << text;
}

bool pathContainsFragment(std::string path, const std::string& fragment) {
    for (char& c : path)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return path.find(fragment) != std::string::npos;
}

std::string hostExecutablePath() {
    std::string path(8192, '\0');
#if defined(_WIN32)
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length < path.size() ? length : 0);
#else
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    path.resize(length > 0 && static_cast<std::size_t>(length) < path.size()
                    ? static_cast<std::size_t>(length)
                    : 0);
#endif
    return path;
}

}  // namespace corvane::vst
