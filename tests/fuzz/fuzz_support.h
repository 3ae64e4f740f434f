// What the fuzz targets share: a failed check that names itself before aborting, and a reader
// of the input as little-endian numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Aborts (which libFuzzer reports as a crash and keeps the input) when `condition` is false.
#define FUZZ_CHECK(condition) \
    ((condition) ? void(0) : ::fuzzing::checkFailed(#condition, __FILE__, __LINE__))

namespace fuzzing {

[[noreturn]] inline void checkFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

// Reads a fuzzer's input front to back as little-endian numbers, so that a seed written by hand
// means what it says. Past the end every read gives zero and exhausted() turns true.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    bool exhausted() const { return position >= size; }

    std::uint8_t u8() { return position < size ? data[position++] : 0; }

    std::uint16_t u16() {
        const std::uint16_t low = u8();
        return static_cast<std::uint16_t>(low | u8() << 8);
    }

    std::uint32_t u32() {
        const std::uint32_t low = u16();
        return low | static_cast<std::uint32_t>(u16()) << 16;
    }

    std::uint64_t u64() {
        const std::uint64_t low = u32();
        return low | static_cast<std::uint64_t>(u32()) << 32;
    }

    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

    float f32() {
        const std::uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    double f64() {
        const std::uint64_t bits = u64();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

  private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

}  // namespace fuzzing
