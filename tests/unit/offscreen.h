// Drawing widgets into an offscreen bitmap, reading its pixels back and keeping the picture as a
// PNG in the test output folder, through GDI+ or the cairo layer.
#pragma once

#include "gdiplus_api.h"

#include <filesystem>

#include <gtest/gtest.h>
#include <picojson.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "draw_context.h"
#include "png_file.h"
#include "view.h"

namespace corvane::vst::testing {

inline picojson::value json(const std::string& text) {
    picojson::value value;
    const std::string error = picojson::parse(value, text);
    if (!error.empty())
        throw std::invalid_argument(error);
    return value;
}

// Straight (not premultiplied) ARGB.
struct Pixel {
    int a = 0, r = 0, g = 0, b = 0;

    int brightness() const { return (r + g + b) / 3; }
    // The largest difference of a colour channel.
    int distance(const Pixel& o) const {
        return std::max({std::abs(r - o.r), std::abs(g - o.g), std::abs(b - o.b)});
    }
};

inline Pixel pixelOf(Gdiplus::ARGB argb) {
    return {int(argb >> 24 & 0xFF), int(argb >> 16 & 0xFF), int(argb >> 8 & 0xFF),
            int(argb & 0xFF)};
}

// A premultiplied ARGB bitmap filled with `background`.
class Canvas {
  public:
    Canvas(int width, int height, Gdiplus::Color background = Gdiplus::Color(0))
        : bitmap(std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppPARGB)),
          w(width),
          h(height) {
        Gdiplus::Graphics(bitmap.get()).Clear(background);
    }

    int width() const { return w; }
    int height() const { return h; }
    Gdiplus::Bitmap* image() { return bitmap.get(); }

    // Through a GDI+ context on the canvas, with nothing clipped.
    void draw(VSTGUI::CView& view) {
        VSTGUI::GdiplusDrawContext context(bitmap.get());
        view.draw(&context);
        pixels.clear();
    }

    Pixel at(int x, int y) {
        if (pixels.empty())
            readPixels();
        if (x < 0 || y < 0 || x >= w || y >= h)
            return {};
        return pixelOf(pixels[std::size_t(y) * w + x]);
    }

    bool sameAs(Canvas& other) {
        at(0, 0);
        other.at(0, 0);
        return pixels == other.pixels;
    }
    bool sameAs(Canvas&& other) { return sameAs(other); }

    // Writes <test output folder>/<name>.png.
    void save(const std::string& name) {
        const std::string folder = QUENVALE_TEST_OUTPUT_DIR;
        std::filesystem::create_directories(folder);
        EXPECT_TRUE(savePng(*bitmap, folder + "/" + name + ".png")) << name;
    }

  private:
    void readPixels() {
        Gdiplus::Rect all(0, 0, w, h);
        Gdiplus::BitmapData data{};
        pixels.assign(std::size_t(w) * h, 0);
        if (bitmap->LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) !=
            Gdiplus::Ok)
            return;
        for (int y = 0; y < h; ++y) {
            const auto* row = reinterpret_cast<const Gdiplus::ARGB*>(
                static_cast<const BYTE*>(data.Scan0) + std::ptrdiff_t(y) * data.Stride);
            std::copy(row, row + w, pixels.begin() + std::ptrdiff_t(y) * w);
        }
        bitmap->UnlockBits(&data);
    }

    std::unique_ptr<Gdiplus::Bitmap> bitmap;
    int w, h;
    std::vector<Gdiplus::ARGB> pixels;  // straight ARGB, read when first asked for
};

// A drawing surface without GDI+.
class PlainContext : public VSTGUI::CDrawContext {
  public:
    PlainContext() : CDrawContext(VSTGUI::CRect(0, 0, 100, 100)) {}
    void setClipRect(const VSTGUI::CRect&) override {}
    void fillRect(const VSTGUI::CRect&, const VSTGUI::CColor&) override {}
};

}  // namespace corvane::vst::testing
