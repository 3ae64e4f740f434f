#include "sha256.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <bcrypt.h>
#else
#include <openssl/evp.h>
#endif

namespace corvane::vst {

#ifdef _WIN32

namespace {

[[noreturn]] void fail(const char* call, NTSTATUS status) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
    throw std::runtime_error(std::string("sha256: ") + call + " failed with status " + code);
}

}  // namespace

std::array<std::uint8_t, 32> sha256(const void* data, std::size_t size) {
    // Handles are released on every path, including the throwing ones.
    struct Handles {
        BCRYPT_ALG_HANDLE algorithm = nullptr;
        BCRYPT_HASH_HANDLE hash = nullptr;
        ~Handles() {
            if (hash)
                BCryptDestroyHash(hash);
            if (algorithm)
                BCryptCloseAlgorithmProvider(algorithm, 0);
        }
    } h;

    NTSTATUS status =
        BCryptOpenAlgorithmProvider(&h.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    if (!BCRYPT_SUCCESS(status))
        fail("BCryptOpenAlgorithmProvider", status);
    // With no object buffer CNG allocates the hash object itself (Windows 7 and later).
    status = BCryptCreateHash(h.algorithm, &h.hash, nullptr, 0, nullptr, 0, 0);
    if (!BCRYPT_SUCCESS(status))
        fail("BCryptCreateHash", status);

    // BCryptHashData takes a 32-bit length; larger inputs go in pieces.
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    constexpr std::size_t kPiece = 1u << 30;
    while (size > 0) {
        const std::size_t n = size < kPiece ? size : kPiece;
        status = BCryptHashData(h.hash, bytes, static_cast<ULONG>(n), 0);
        if (!BCRYPT_SUCCESS(status))
            fail("BCryptHashData", status);
        bytes += n;
        size -= n;
    }

    std::array<std::uint8_t, 32> digest{};
    status = BCryptFinishHash(h.hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
    if (!BCRYPT_SUCCESS(status))
        fail("BCryptFinishHash", status);
    return digest;
}

#else

std::array<std::uint8_t, 32> sha256(const void* data, std::size_t size) {
    std::array<std::uint8_t, 32> digest{};
    unsigned int length = 0;
    if (EVP_Digest(data, size, digest.data(), &length, EVP_sha256(), nullptr) != 1 ||
        length != digest.size()) {
        throw std::runtime_error("sha256: libcrypto's EVP_Digest failed");
    }
    return digest;
}

#endif

}  // namespace corvane::vst
