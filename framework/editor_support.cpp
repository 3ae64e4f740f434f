#include <windows.h>

#include <cctype>
#include <exception>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "editor_base.h"

namespace corvane::vst {

Steinberg::int64 systemTicks() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return static_cast<Steinberg::int64>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) |
                                         now.dwLowDateTime);
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
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length < path.size() ? length : 0);
    return path;
}

}  // namespace corvane::vst
