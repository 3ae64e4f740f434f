// SHA-256 from the platform library, and the class IDs derived from it.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "class_ids.h"
#include "sha256.h"

namespace {

using corvane::vst::sha256;
using Digest = std::array<std::uint8_t, 32>;

std::string hex(const Digest& d) {
    std::string out;
    char two[3];
    for (std::uint8_t b : d) {
        std::snprintf(two, sizeof two, "%02x", b);
        out += two;
    }
    return out;
}

std::string hexOf(const std::string& text) {
    return hex(sha256(text.data(), text.size()));
}

Digest digestFor(std::string_view name, std::string_view suffix) {
    std::string input(name);
    input += quenvale::classIdSalt();
    input += suffix;
    return sha256(input.data(), input.size());
}

std::array<std::uint8_t, 16> bytesOf(const Steinberg::FUID& id) {
    Steinberg::TUID tuid;
    id.toTUID(tuid);
    std::array<std::uint8_t, 16> out;
    for (int i = 0; i < 16; ++i)
        out[i] = static_cast<std::uint8_t>(tuid[i]);
    return out;
}

std::string printed(const Steinberg::FUID& id) {
    char text[40] = {};
    id.toString(text);
    return text;
}

TEST(Sha256, MatchesTheFipsOneBlockExamples) {
    EXPECT_EQ(hexOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hexOf(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex(sha256(nullptr, 0)), hexOf(""));
}

TEST(Sha256, MatchesTheFipsMultiBlockExamples) {
    EXPECT_EQ(hexOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hexOf("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
                    "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu"),
              "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    EXPECT_EQ(hexOf(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, HashesBinaryInputWithZeroBytesToItsFullLength) {
    std::vector<std::uint8_t> bytes;
    for (int round = 0; round < 3; ++round) {
        for (int b = 0; b < 256; ++b)
            bytes.push_back(static_cast<std::uint8_t>(b));
    }
    EXPECT_EQ(hex(sha256(bytes.data(), bytes.size())),
              "f3a25aa93aa2fbba28d79260535bbd6a5eb0fc1c24a8b0f04e12b484c1dfe363");
}

TEST(ClassIdSalt, IsPrintableAsciiOfSixteenToTwentyFourCharactersAndStable) {
    const std::string salt = quenvale::classIdSalt();
    EXPECT_GE(salt.size(), 16u);
    EXPECT_LE(salt.size(), 24u);
    for (char c : salt)
        EXPECT_TRUE(c >= 0x20 && c < 0x7F) << static_cast<int>(c);
    EXPECT_EQ(quenvale::classIdSalt(), salt);
}

TEST(ClassId, IsTheSameSixteenBytesEveryTime) {
    EXPECT_EQ(bytesOf(quenvale::makeClassId("Name", "x")),
              bytesOf(quenvale::makeClassId("Name", "x")));
    EXPECT_EQ(bytesOf(quenvale::processorClassId()), bytesOf(quenvale::processorClassId()));
}

TEST(ClassId, DiffersForEachNameAndSuffixAndAcrossTheirBoundary) {
    using quenvale::makeClassId;
    EXPECT_NE(bytesOf(quenvale::processorClassId()), bytesOf(quenvale::controllerClassId()));
    EXPECT_NE(bytesOf(makeClassId(quenvale::kProcessorName, "")),
              bytesOf(makeClassId(quenvale::kProcessorName, "vst2")));
    // The salt sits between name and suffix, so moving a character across it changes the ID.
    EXPECT_NE(bytesOf(makeClassId("ab", "")), bytesOf(makeClassId("a", "b")));
}

// The SDK stores FUID(l1, l2, l3, l4) in COM's GUID layout on Windows and big-endian words
// elsewhere; l1..l4 are the digest's first 16 bytes read little-endian.
TEST(ClassId, LaysOutTheDigestBytesTheWayTheSdkStoresFourWords) {
    for (const char* suffix : {"", "vst2", "other"}) {
        const Digest d = digestFor(quenvale::kControllerName, suffix);
#if COM_COMPATIBLE
        const std::array<std::uint8_t, 16> expected = {d[0],  d[1],  d[2],  d[3],  d[6], d[7],
                                                       d[4],  d[5],  d[11], d[10], d[9], d[8],
                                                       d[15], d[14], d[13], d[12]};
#else
        const std::array<std::uint8_t, 16> expected = {d[3],  d[2],  d[1],  d[0],  d[7], d[6],
                                                       d[5],  d[4],  d[11], d[10], d[9], d[8],
                                                       d[15], d[14], d[13], d[12]};
#endif
        EXPECT_EQ(bytesOf(quenvale::makeClassId(quenvale::kControllerName, suffix)), expected)
            << suffix;
    }
}

// Hosts find plug-ins in saved projects by these IDs: any change to the salt or the
// derivation orphans every existing project. The printed form is the same on every platform.
TEST(ClassId, ProcessorControllerAndVst2IdsNeverChange) {
    EXPECT_EQ(printed(quenvale::processorClassId()), "4811D2C1261ABAB4A019AAE77656136D");
    EXPECT_EQ(printed(quenvale::controllerClassId()), "972D77008D93EFA87AF819ADF0BCFBA7");
    EXPECT_EQ(static_cast<std::uint32_t>(quenvale::vst2UniqueId()), 0x97CF428Cu);
}

TEST(ClassId, Vst2UniqueIdIsTheFirstFourDigestBytesReadLittleEndian) {
    const Digest d = digestFor("Quenvale64", "vst2");
    const std::uint32_t expected = std::uint32_t{d[0]} | std::uint32_t{d[1]} << 8 |
                                   std::uint32_t{d[2]} << 16 | std::uint32_t{d[3]} << 24;
    EXPECT_EQ(static_cast<std::uint32_t>(quenvale::vst2UniqueId()), expected);
}

}  // namespace
