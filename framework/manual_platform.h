// What openManual needs from the file system, from manual_windows.cpp or manual_linux.cpp.
#pragma once

#include <string>
#include <vector>

namespace corvane::vst {

#if defined(_WIN32)
constexpr char kManualSeparator = '\\';
#else
constexpr char kManualSeparator = '/';
#endif

// Creates every folder along `path` (failures, such as existing folders, do not matter) and
// writes the bytes to its last component; false when the file cannot be written.
bool writeManualFile(const std::string& path, const std::vector<unsigned char>& bytes);

}  // namespace corvane::vst
