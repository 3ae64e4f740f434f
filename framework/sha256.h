// SHA-256 from the platform's own crypto library (Windows CNG, libcrypto elsewhere).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace corvane::vst {

// The digest of `size` bytes at `data`. Throws std::runtime_error if the platform refuses.
std::array<std::uint8_t, 32> sha256(const void* data, std::size_t size);

}  // namespace corvane::vst
