// The resource registry, its scrambling, and what tools/pack_resources.py generates: a pack of
// tests/data/resources built with the test's own registration function, and the plug-in's packs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "resource_registry.h"

namespace corvane::vst {

// Generated from tests/data/resources by tests/unit/CMakeLists.txt.
void registerTestResources(ResourceRegistry& registry);

namespace {

using Bytes = std::vector<unsigned char>;

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot open " + path.string());
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

Bytes scrambled(Bytes bytes) {
    scramble(bytes);
    return bytes;
}

// The generator written out with 64-bit arithmetic and masks, apart from the 32-bit original.
Bytes keyStream(std::size_t count) {
    Bytes stream;
    std::uint64_t state = kResourceKey;
    for (std::size_t i = 0; i < count; ++i) {
        state = (state * 1103515245ull + 24691ull) & 0xFFFFFFFFull;
        stream.push_back(static_cast<unsigned char>((state >> 24) & 0xFF));
    }
    return stream;
}

TEST(ResourceScramble, ZerosScrambleToTheSeededKeyStream) {
    Bytes zeros(64, 0);
    scramble(zeros);
    EXPECT_EQ(zeros, keyStream(64));
}

TEST(ResourceScramble, ScramblingTwiceRestoresTheBytes) {
    for (std::size_t size : {0u, 1u, 7u, 1000u}) {
        Bytes original(size);
        for (std::size_t i = 0; i < size; ++i)
            original[i] = static_cast<unsigned char>(i * 31 + 5);
        Bytes bytes = original;
        scramble(bytes);
        EXPECT_TRUE(size <= 1 || bytes != original) << size << " bytes left as they were";
        scramble(bytes);
        EXPECT_EQ(bytes, original) << size << " bytes";
    }
}

TEST(ResourceRegistry, AnUnknownNameLoadsAsNothing) {
    ResourceRegistry registry;
    const Bytes stored = scrambled({'x'});
    registry.registerResource("known", stored.data(), 1);

    EXPECT_TRUE(registry.loadResource("unknown").empty());
    EXPECT_EQ(registry.loadResourceText("unknown"), "");
    EXPECT_TRUE(registry.loadResource("Known").empty());
    EXPECT_FALSE(registry.contains("unknown"));
}

TEST(ResourceRegistry, EveryLookupGivesItsOwnUnscrambledCopy) {
    const std::string text = "{\"layout\": 1}";
    const Bytes stored = scrambled(Bytes(text.begin(), text.end()));
    ResourceRegistry registry;
    registry.registerResource("layout.json", stored.data(),
                              static_cast<std::int32_t>(stored.size()));

    Bytes first = registry.loadResource("layout.json");
    const Bytes second = registry.loadResource("layout.json");
    EXPECT_EQ(first, Bytes(text.begin(), text.end()));
    EXPECT_EQ(second, first);
    EXPECT_NE(first.data(), second.data());

    first[0] = '!';
    EXPECT_EQ(registry.loadResourceText("layout.json"), text);
    EXPECT_EQ(stored, scrambled(Bytes(text.begin(), text.end()))) << "the stored bytes changed";
}

TEST(ResourceRegistry, RegisteringANameAgainKeepsOneEntryWithTheNewBytes) {
    const Bytes older = scrambled({'o', 'l', 'd', '!'});
    const Bytes newer = scrambled({'n', 'e', 'w'});
    ResourceRegistry registry;
    registry.registerResource("a", older.data(), 4);
    registry.registerResource("a", newer.data(), 2);

    EXPECT_EQ(registry.size(), 1u);
    EXPECT_EQ(registry.loadResourceText("a"), "ne");
    EXPECT_EQ(registry.begin()->second.data, newer.data());
    EXPECT_EQ(registry.begin()->second.size, 2);
}

TEST(ResourceRegistry, NamesComeInByteOrder) {
    const Bytes byte = scrambled({0});
    ResourceRegistry registry;
    // "\xC3\xA4" is a UTF-8 letter: a signed comparison would put it first.
    for (const char* name : {"\xC3\xA4.txt", "a/b", "Z", "a.b", "a", "B"}) {
        registry.registerResource(name, byte.data(), 1);
    }
    const std::vector<std::string> expected = {"B", "Z", "a", "a.b", "a/b", "\xC3\xA4.txt"};
    EXPECT_EQ(registry.names(), expected);

    std::vector<std::string> iterated;
    for (const auto& entry : registry)
        iterated.push_back(entry.first);
    EXPECT_EQ(iterated, expected);
}

TEST(ResourcePack, EveryPackedFileLoadsAsTheBytesOfItsSource) {
    const std::filesystem::path folder =
        std::filesystem::path(QUENVALE_TEST_DATA_DIR) / "resources";
    ResourceRegistry registry;
    registerTestResources(registry);

    // Hidden files (images/.hidden) are not resources.
    const std::vector<std::string> expected = {"images/icons/empty.dat", "images/pixels.bin",
                                               "readme.txt"};
    ASSERT_EQ(registry.names(), expected);
    for (const std::string& name : expected) {
        EXPECT_EQ(registry.loadResource(name), readFile(folder / name)) << name;
    }

    // A packer that forgot to scramble would pass the round trip above if lookups forgot too.
    const Bytes pixels = readFile(folder / "images/pixels.bin");
    for (const auto& [name, stored] : registry) {
        if (name != "images/pixels.bin")
            continue;
        ASSERT_EQ(stored.size, static_cast<std::int32_t>(pixels.size()));
        EXPECT_EQ(Bytes(stored.data, stored.data + stored.size), scrambled(pixels));
    }
}

// The plug-in's packs hold exactly the non-hidden files of resources/editor and
// resources/manual as they were at build time.
void expectPackOfFolder(const ResourceRegistry& registry, const std::filesystem::path& folder) {
    std::vector<std::string> names;
    if (std::filesystem::is_directory(folder)) {
        for (auto it = std::filesystem::recursive_directory_iterator(folder);
             it != std::filesystem::recursive_directory_iterator(); ++it) {
            if (it->path().filename().native()[0] == '.') {
                if (it->is_directory())
                    it.disable_recursion_pending();
                continue;
            }
            if (!it->is_regular_file())
                continue;
            const std::filesystem::path relative = it->path().lexically_relative(folder);
            const auto utf8 = relative.generic_u8string();
            names.emplace_back(utf8.begin(), utf8.end());
            EXPECT_EQ(registry.loadResource(names.back()), readFile(it->path())) << names.back();
        }
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(registry.names(), names) << folder.string();
}

TEST(ResourcePack, ThePlugInRegistriesHoldItsResourceFolders) {
    const std::filesystem::path resources =
        std::filesystem::path(QUENVALE_TEST_DATA_DIR) / ".." / ".." / "resources";
    expectPackOfFolder(editorResources(), resources / "editor");
    // The manual is packed from its copy with the version filled in.
    expectPackOfFolder(manualResources(), QUENVALE_MANUAL_DIR);
}

}  // namespace
}  // namespace corvane::vst
