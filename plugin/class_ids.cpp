#include "class_ids.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "sha256.h"

namespace quenvale {

namespace {

constexpr unsigned char kMask = 0xA5;

// A piece of the salt as stored in the binary: every byte flipped by kMask.
template <std::size_t N>
constexpr std::array<unsigned char, N - 1> masked(const char (&text)[N]) {
    std::array<unsigned char, N - 1> out{};
    for (std::size_t i = 0; i + 1 < N; ++i) {
        out[i] = static_cast<unsigned char>(static_cast<unsigned char>(text[i]) ^ kMask);
    }
    return out;
}

constexpr auto kSalt1 = masked("corvane:");
constexpr auto kSalt2 = masked("quenvale-");
constexpr auto kSalt3 = masked("id-v1");

template <std::size_t N>
void unmaskInto(std::string& out, const std::array<unsigned char, N>& piece) {
    // Read through volatile so the compiler cannot fold the pieces back into a literal.
    const volatile unsigned char mask = kMask;
    for (unsigned char c : piece)
        out.push_back(static_cast<char>(c ^ mask));
}

std::uint32_t littleEndian32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

}  // namespace

std::string classIdSalt() {
    std::string salt;
    salt.reserve(kSalt1.size() + kSalt2.size() + kSalt3.size());
    unmaskInto(salt, kSalt1);
    unmaskInto(salt, kSalt2);
    unmaskInto(salt, kSalt3);
    return salt;
}

Steinberg::FUID makeClassId(std::string_view name, std::string_view suffix) {
    std::string input(name);
    input += classIdSalt();
    input += suffix;
    const auto digest = corvane::vst::sha256(input.data(), input.size());
    return Steinberg::FUID(littleEndian32(&digest[0]), littleEndian32(&digest[4]),
                           littleEndian32(&digest[8]), littleEndian32(&digest[12]));
}

Steinberg::FUID processorClassId() {
    return makeClassId(kProcessorName, "");
}

Steinberg::FUID controllerClassId() {
    return makeClassId(kControllerName, "");
}

Steinberg::int32 vst2UniqueId() {
    return static_cast<Steinberg::int32>(makeClassId(kProcessorName, "vst2").getLong1());
}

}  // namespace quenvale
