// Fonts and images from resource bytes, through the drawing API (Wine's GDI+, or cairo).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "gdiplus_api.h"
#include "png_file.h"
#include "resource_cache.h"
#include "resource_registry.h"

namespace corvane::vst {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

const std::string kResources = QUENVALE_RESOURCES_DIR;

// PNG bytes of a w x h bitmap filled with one colour, written by the drawing API itself.
Bytes pngOf(int width, int height, Gdiplus::Color colour) {
    Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppARGB);
    Gdiplus::Graphics(&bitmap).Clear(colour);
    const std::string folder = QUENVALE_TEST_OUTPUT_DIR;
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/made.png";
    EXPECT_TRUE(savePng(bitmap, path));
    return readFile(path);
}

// A loader over a fixed set of named byte strings that counts its calls per name.
struct CountingLoader {
    std::map<std::string, Bytes> files;
    std::map<std::string, int> calls;
    ResourceCache::Loader loader() {
        return [this](const std::string& name) {
            ++calls[name];
            const auto found = files.find(name);
            return found == files.end() ? Bytes() : found->second;
        };
    }
};

TEST(ResourceCacheFonts, AnEmbeddedFontGivesItsFamilyOnceAndAFailureIsNotTriedAgain) {
    CountingLoader files;
    files.files["font.ttf"] = readFile(kResources + "/editor/fonts/DejaVuSans-subset.ttf");
    ASSERT_FALSE(files.files["font.ttf"].empty());
    files.files["broken.ttf"] = {1, 2, 3, 4};
    ResourceCache cache(files.loader());

    const auto family = cache.getFontFamily("font.ttf");
    ASSERT_TRUE(family);
    WCHAR name[LF_FACESIZE] = {};
    family->GetFamilyName(name);
    EXPECT_EQ(std::wstring(name).rfind(L"DejaVu Sans", 0), 0u) << "family " << name;
    EXPECT_EQ(cache.getFontFamily("font.ttf"), family);

    EXPECT_FALSE(cache.getFontFamily("broken.ttf"));
    EXPECT_FALSE(cache.getFontFamily("broken.ttf"));
    EXPECT_FALSE(cache.getFontFamily("missing.ttf"));
    EXPECT_EQ(files.calls["font.ttf"], 1);
    EXPECT_EQ(files.calls["broken.ttf"], 1);
}

TEST(ResourceCacheImages, AnImageBecomesAPremultipliedBitmapOfItsSizeLoadedOnce) {
    CountingLoader files;
    files.files["red.png"] = pngOf(5, 3, Gdiplus::Color(255, 255, 0, 0));
    ResourceCache cache(files.loader());
    const auto image = cache.getImage("red.png");
    ASSERT_TRUE(image);
    EXPECT_EQ(image->GetWidth(), 5u);
    EXPECT_EQ(image->GetHeight(), 3u);
    EXPECT_EQ(image->GetPixelFormat(), PixelFormat32bppPARGB);
    Gdiplus::Color pixel;
    image->GetPixel(2, 1, &pixel);
    EXPECT_EQ(pixel.GetValue(), 0xFFFF0000u);
    EXPECT_EQ(cache.getImage("red.png"), image);
    EXPECT_EQ(files.calls["red.png"], 1);
}

TEST(ResourceCacheImages, UnknownNamesShareTheFallbackWhichIsLoadedOnce) {
    CountingLoader files;
    files.files[ResourceCache::kFallbackImage] = pngOf(2, 2, Gdiplus::Color(255, 128, 128, 128));
    ResourceCache cache(files.loader());
    const auto first = cache.getImage("nothing.png");
    ASSERT_TRUE(first);
    EXPECT_EQ(cache.getImage("other.png"), first);
    EXPECT_EQ(files.calls[ResourceCache::kFallbackImage], 1);

    CountingLoader empty;
    ResourceCache withoutFallback(empty.loader());
    EXPECT_FALSE(withoutFallback.getImage("nothing.png"));
    EXPECT_FALSE(withoutFallback.getImage("other.png"));
    EXPECT_EQ(empty.calls[ResourceCache::kFallbackImage], 1);
}

TEST(ResourceCacheImages, BytesThatAreNoImageThrowAndAreNotRemembered) {
    CountingLoader files;
    files.files["text.png"] = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    ResourceCache cache(files.loader());
    EXPECT_THROW(cache.getImage("text.png"), std::runtime_error);
    EXPECT_THROW(cache.getImage("text.png"), std::runtime_error);
    EXPECT_EQ(files.calls["text.png"], 2);
}

TEST(ResourceCacheImages, TheEmbeddedImagesDecode) {
    ResourceCache cache(editorResources());
    for (const char* name : {"images/knob-cap.png", ResourceCache::kFallbackImage}) {
        const auto image = cache.getImage(name);
        ASSERT_TRUE(image) << name;
        EXPECT_GT(image->GetWidth(), 0u) << name;
    }
}

}  // namespace
}  // namespace corvane::vst
