// The GDI+-shaped drawing layer on cairo and FreeType: where its pixels land, compared with
// where GDI+ puts them, and how it takes bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "gdiplus_api.h"

namespace {

using namespace Gdiplus;

const Color kOpaqueBlack(0xFF000000);

std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

int alphaAt(Bitmap& bitmap, int x, int y) {
    Color color;
    return bitmap.GetPixel(x, y, &color) == Ok ? color.GetA() : -1;
}

// The premultiplied pixels as they lie in memory.
std::vector<std::uint32_t> memoryOf(Bitmap& bitmap) {
    BitmapData data{};
    std::vector<std::uint32_t> pixels;
    if (bitmap.LockBits(nullptr, ImageLockModeRead, PixelFormat32bppPARGB, &data) != Ok)
        return pixels;
    for (UINT y = 0; y < data.Height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(
            static_cast<const unsigned char*>(data.Scan0) + std::ptrdiff_t(y) * data.Stride);
        pixels.insert(pixels.end(), row, row + data.Width);
    }
    bitmap.UnlockBits(&data);
    return pixels;
}

// The columns and rows holding any alpha, as [first, last]; first > last when empty.
struct Ink {
    int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
};

Ink inkOf(Bitmap& bitmap) {
    Ink ink;
    for (int y = 0; y < int(bitmap.GetHeight()); ++y) {
        for (int x = 0; x < int(bitmap.GetWidth()); ++x) {
            if (alphaAt(bitmap, x, y) == 0)
                continue;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
        }
    }
    return ink;
}

TEST(GdiplusCairo, AFilledRectangleLandsOnTheSamePixelsAsInGdiplusInBothPixelOffsetModes) {
    SolidBrush black(kOpaqueBlack);
    const auto row = [&](PixelOffsetMode offset, SmoothingMode smoothing) {
        Bitmap bitmap(20, 20, PixelFormat32bppPARGB);
        Graphics graphics(&bitmap);
        graphics.SetPixelOffsetMode(offset);
        graphics.SetSmoothingMode(smoothing);
        EXPECT_EQ(graphics.FillRectangle(&black, 5, 5, 10, 10), Ok);
        std::vector<int> alphas;
        for (int x = 3; x <= 16; ++x)
            alphas.push_back(alphaAt(bitmap, x, 10));
        // Columns and rows alike.
        EXPECT_EQ(alphaAt(bitmap, 10, 4), alphas[4 - 3]);
        EXPECT_EQ(alphaAt(bitmap, 10, 15), alphas[15 - 3]);
        return alphas;
    };
    // Pixel centres at .5: exactly pixels 5 to 14.
    const std::vector<int> exact = {0, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0};
    EXPECT_EQ(row(PixelOffsetModeHalf, SmoothingModeAntiAlias), exact);
    // Centres at integers (GDI+'s default): each edge runs through the middle of a pixel.
    const std::vector<int> straddling = row(PixelOffsetModeNone, SmoothingModeAntiAlias);
    EXPECT_EQ(straddling[4 - 3], 0);
    EXPECT_NEAR(straddling[5 - 3], 128, 2);
    EXPECT_EQ(straddling[6 - 3], 255);
    EXPECT_EQ(straddling[14 - 3], 255);
    EXPECT_NEAR(straddling[15 - 3], 128, 2);
    EXPECT_EQ(straddling[16 - 3], 0);
    // Without antialiasing a pixel is in when its centre is: pixels 5 to 14 again.
    EXPECT_EQ(row(PixelOffsetModeNone, SmoothingModeNone), exact);
    EXPECT_EQ(row(PixelOffsetModeDefault, SmoothingModeDefault), exact);
}

TEST(GdiplusCairo, TransformsMoveShapesAsGdiplusMatricesSay) {
    Matrix m;
    m.Translate(10, 0);
    m.Scale(2, 3);                    // prepended: scale first
    m.Rotate(90, MatrixOrderAppend);  // then turn
    REAL e[6];
    m.GetElements(e);
    const REAL expected[6] = {0, 2, -3, 0, 0, 10};  // x' = -3y, y' = 2x + 10
    for (int i = 0; i < 6; ++i)
        EXPECT_FLOAT_EQ(e[i], expected[i]) << i;

    SolidBrush black(kOpaqueBlack);
    Bitmap bitmap(32, 32, PixelFormat32bppPARGB);
    Graphics graphics(&bitmap);
    graphics.SetPixelOffsetMode(PixelOffsetModeHalf);
    graphics.SetSmoothingMode(SmoothingModeAntiAlias);
    graphics.ScaleTransform(2, 2);
    graphics.FillRectangle(&black, 2, 3, 4, 5);
    Ink ink = inkOf(bitmap);
    EXPECT_EQ(ink.left, 4);
    EXPECT_EQ(ink.right, 11);
    EXPECT_EQ(ink.top, 6);
    EXPECT_EQ(ink.bottom, 15);

    // A quarter turn clockwise about (10, 10): what was right of the centre goes below it.
    graphics.Clear(Color(0));
    Matrix turn;
    turn.RotateAt(90, PointF(10, 10));
    graphics.SetTransform(&turn);
    graphics.FillRectangle(&black, RectF(12, 9, 4, 2));
    ink = inkOf(bitmap);
    EXPECT_EQ(ink.left, 9);
    EXPECT_EQ(ink.right, 10);
    EXPECT_EQ(ink.top, 12);
    EXPECT_EQ(ink.bottom, 15);
    Matrix back;
    graphics.GetTransform(&back);
    EXPECT_TRUE(back.IsInvertible());

    // A transformed path is where its points go.
    GraphicsPath path;
    path.AddEllipse(0.f, 0.f, 4.f, 2.f);
    const Matrix shift(1, 0, 0, 1, 5, 5);
    path.Transform(&shift);
    RectF bounds;
    path.GetBounds(&bounds);
    EXPECT_TRUE(bounds.Equals(RectF(5, 5, 4, 2)));
}

TEST(GdiplusCairo, ArcsLinesAndBeziersJoinTheOpenFigureWhileEllipsesStandAlone) {
    GraphicsPath path;
    const PointF lines[2] = {PointF(0, 0), PointF(10, 0)};
    path.AddLines(lines, 2);
    path.AddArc(20.f, 0.f, 10.f, 10.f, 180.f, 90.f);  // starts at (20, 5)
    const PointF curve[4] = {PointF(25, 0), PointF(30, 0), PointF(30, 5), PointF(30, 10)};
    path.AddBeziers(curve, 4);  // starts where the arc ended
    path.CloseFigure();
    path.AddEllipse(RectF(0, 20, 10, 10));
    EXPECT_EQ(path.AddBeziers(curve, 3), InvalidParameter);
    EXPECT_EQ(path.AddLines(lines, 0), InvalidParameter);

    std::vector<PointF> points(std::size_t(path.GetPointCount()));
    std::vector<BYTE> types(points.size());
    path.GetPathPoints(points.data(), path.GetPointCount());
    path.GetPathTypes(types.data(), path.GetPointCount());
    ASSERT_EQ(points.size(), 2u + 4u + 3u + 13u);
    EXPECT_EQ(types[0], 0);  // start
    EXPECT_EQ(types[2], 1);  // a line to the arc
    EXPECT_NEAR(points[2].X, 20, 1e-4);
    EXPECT_NEAR(points[2].Y, 5, 1e-4);
    EXPECT_NEAR(points[5].X, 25, 1e-4);  // the arc ends on top
    EXPECT_NEAR(points[5].Y, 0, 1e-4);
    EXPECT_EQ(types[6], 3);                         // the curve goes straight on
    EXPECT_EQ(types[8], 3 | 0x80);                  // and closes the figure
    EXPECT_EQ(types[9], 0);                         // the ellipse: a new figure,
    EXPECT_EQ(types[21], 3 | 0x80);                 // closed
    EXPECT_TRUE(points[9].Equals(PointF(10, 25)));  // from its rightmost point
}

TEST(GdiplusCairo, ClipsHoldWholePixelsAndSaveRestoreBringsBackTransformAndClip) {
    SolidBrush black(kOpaqueBlack);
    Bitmap bitmap(40, 40, PixelFormat32bppPARGB);
    Graphics graphics(&bitmap);
    graphics.SetSmoothingMode(SmoothingModeAntiAlias);  // the clip's edges stay sharp anyway

    const GraphicsState outer = graphics.Save();
    graphics.TranslateTransform(5, 5);
    graphics.SetClip(RectF(0, 0, 10, 10));  // world coordinates: pixels 5 to 14
    const GraphicsState inner = graphics.Save();
    graphics.ScaleTransform(3, 3);  // moves what is drawn, not the clip
    graphics.SetClip(RectF(0, 0, 2, 2), CombineModeIntersect);
    graphics.FillRectangle(&black, -10, -10, 40, 40);
    Ink ink = inkOf(bitmap);
    EXPECT_EQ(ink.left, 5);
    EXPECT_EQ(ink.right, 10);  // the second clip is 6 device pixels wide
    EXPECT_EQ(alphaAt(bitmap, 10, 10), 255);

    graphics.Restore(inner);
    graphics.Clear(Color(0));  // in the outer clip only
    graphics.FillRectangle(&black, -10, -10, 40, 40);
    ink = inkOf(bitmap);
    EXPECT_EQ(ink.left, 5);
    EXPECT_EQ(ink.right, 14);
    EXPECT_EQ(ink.top, 5);
    EXPECT_EQ(ink.bottom, 14);
    EXPECT_EQ(alphaAt(bitmap, 14, 14), 255);

    graphics.Restore(outer);
    graphics.Restore(inner);  // dropped with the outer one: changes nothing
    Matrix transform;
    graphics.GetTransform(&transform);
    EXPECT_TRUE(transform.IsIdentity());
    graphics.FillRectangle(&black, -1, -1, 42, 42);
    EXPECT_EQ(alphaAt(bitmap, 0, 0), 255);
    EXPECT_EQ(alphaAt(bitmap, 39, 39), 255);

    graphics.SetClip(RectF(30, 30, 5, 5));
    graphics.ResetClip();
    graphics.Clear(Color(0));
    EXPECT_EQ(alphaAt(bitmap, 0, 0), 0);
}

TEST(GdiplusCairo, APathGradientOnAnEllipseRunsFromTheCentreColourToTheSurroundColour) {
    Bitmap bitmap(60, 60, PixelFormat32bppPARGB);
    Graphics graphics(&bitmap);
    graphics.SetPixelOffsetMode(PixelOffsetModeHalf);
    graphics.SetSmoothingMode(SmoothingModeAntiAlias);
    GraphicsPath disc;
    disc.AddEllipse(10.f, 10.f, 40.f, 40.f);
    PathGradientBrush brush(&disc);
    brush.SetCenterColor(Color(200, 0, 0, 0));
    Color edge(0x00000000);
    INT count = 1;
    EXPECT_EQ(brush.SetSurroundColors(&edge, &count), Ok);
    graphics.FillPath(&brush, &disc);
    EXPECT_NEAR(alphaAt(bitmap, 29, 29), 200, 12);
    EXPECT_NEAR(alphaAt(bitmap, 39, 29), 100, 12);  // half way out
    EXPECT_LT(alphaAt(bitmap, 10, 29), 12);
    EXPECT_EQ(alphaAt(bitmap, 5, 5), 0);
    EXPECT_EQ(alphaAt(bitmap, 12, 12), 0);  // outside the disc, inside its box
}

TEST(GdiplusCairo, DrawImageCopiesPixelsExactlyAndTheAlphaMatrixHalvesThem) {
    Bitmap source(5, 4, PixelFormat32bppPARGB);
    const ARGB colours[] = {0xFF102030, 0x80FF0000, 0x00000000, 0xFF00FF00, 0x40FFFFFF};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(source.SetPixel(x, y, Color(colours[(x + y) % 5])), Ok);
    }
    Color read;
    source.GetPixel(0, 0, &read);
    EXPECT_EQ(read.GetValue(), 0xFF102030u);
    const std::vector<std::uint32_t> original = memoryOf(source);

    for (const PixelOffsetMode mode : {PixelOffsetModeNone, PixelOffsetModeHalf}) {
        Bitmap target(12, 12, PixelFormat32bppPARGB);
        Graphics graphics(&target);
        graphics.SetPixelOffsetMode(mode);
        graphics.SetSmoothingMode(SmoothingModeAntiAlias);
        graphics.DrawImage(&source, 3, 4);
        graphics.DrawImage(&source, RectF(3, 0, 5, 4));  // the same size, so a copy too
        const std::vector<std::uint32_t> drawn = memoryOf(target);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(drawn[std::size_t(y + 4) * 12 + std::size_t(x + 3)],
                          original[std::size_t(y) * 5 + std::size_t(x)])
                    << mode;
                EXPECT_EQ(drawn[std::size_t(y) * 12 + std::size_t(x + 3)],
                          original[std::size_t(y) * 5 + std::size_t(x)])
                    << mode;
            }
        }
        EXPECT_EQ(drawn[std::size_t(4) * 12 + 2], 0u);
        EXPECT_EQ(drawn[std::size_t(8) * 12 + 3], 0u);
    }

    Bitmap faded(5, 4, PixelFormat32bppPARGB);
    {
        Graphics graphics(&faded);
        ColorMatrix half = {{{1, 0, 0, 0, 0},
                             {0, 1, 0, 0, 0},
                             {0, 0, 1, 0, 0},
                             {0, 0, 0, 0.5f, 0},
                             {0, 0, 0, 0, 1}}};
        ImageAttributes attributes;
        attributes.SetColorMatrix(&half);
        graphics.DrawImage(&source, RectF(0, 0, 5, 4), 0, 0, 5, 4, UnitPixel, &attributes);
    }
    const std::vector<std::uint32_t> halved = memoryOf(faded);
    for (std::size_t i = 0; i < original.size(); ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            EXPECT_NEAR(int(halved[i] >> shift & 0xFF), int(original[i] >> shift & 0xFF) / 2.0, 1)
                << i;
        }
    }

    // Straight pixels through LockBits, written back premultiplied.
    BitmapData data{};
    const Rect corner(1, 0, 1, 1);
    ASSERT_EQ(source.LockBits(&corner, ImageLockModeRead | ImageLockModeWrite, PixelFormat32bppARGB,
                              &data),
              Ok);
    EXPECT_EQ(source.LockBits(&corner, ImageLockModeRead, PixelFormat32bppARGB, &data), WrongState);
    auto* pixel = static_cast<std::uint32_t*>(data.Scan0);
    EXPECT_EQ(*pixel, 0x80FF0000u);
    *pixel = 0x80008000u;
    source.UnlockBits(&data);
    EXPECT_EQ(memoryOf(source)[1], 0x80004000u);
}

class GdiplusCairoText : public ::testing::Test {
  protected:
    void SetUp() override {
        bytes = readFile(QUENVALE_FONTS_DIR "/DejaVuSans-subset.ttf");
        ASSERT_FALSE(bytes.empty());
        ASSERT_EQ(collection.AddMemoryFont(bytes.data(), INT(bytes.size())), Ok);
        INT found = 0;
        ASSERT_EQ(collection.GetFamilies(1, &family, &found), Ok);
        ASSERT_EQ(found, 1);
    }

    RectF measure(const wchar_t* text, const Font& font, const RectF& layout = RectF(),
                  const StringFormat* format = nullptr) {
        RectF box;
        EXPECT_EQ(graphics.MeasureString(text, -1, &font, layout, format, &box), Ok);
        return box;
    }

    std::vector<unsigned char> bytes;
    PrivateFontCollection collection;
    FontFamily family;
    Bitmap bitmap{200, 60, PixelFormat32bppPARGB};
    Graphics graphics{&bitmap};
};

TEST_F(GdiplusCairoText, AFontFromBytesMeasuresItsLineHeightAndTheAdvancesWithPadding) {
    WCHAR name[LF_FACESIZE] = {};
    family.GetFamilyName(name);
    EXPECT_EQ(std::wstring(name), L"DejaVu Sans");
    bytes.assign(bytes.size(), 0);  // the collection holds a copy

    const Font pixels(&family, 12, FontStyleRegular, UnitPixel);
    ASSERT_TRUE(pixels.IsAvailable());
    // DejaVu Sans: ascender 1901, descender -483, no line gap, 2048 units per em.
    const double line = 12.0 * 2384 / 2048;
    const RectF one = measure(L"Delay", pixels, RectF(7, 9, 0, 0));
    EXPECT_FLOAT_EQ(one.X, 7);
    EXPECT_FLOAT_EQ(one.Y, 9);
    EXPECT_NEAR(one.Height, line, 1e-3);
    EXPECT_NEAR(pixels.GetHeight(96.0f), line, 1e-3);
    const RectF longer = measure(L"Delay 400", pixels);
    EXPECT_GT(longer.Width, one.Width + 20);
    EXPECT_NEAR(measure(L"Delay   ", pixels).Width, one.Width, 1e-3);  // trailing spaces
    // "l" is 569 units wide; a sixth of the em pads either side.
    EXPECT_NEAR(measure(L"l", pixels).Width, 12.0 * 569 / 2048 + 4, 1e-3);
    EXPECT_NEAR(measure(L"l\nl", pixels).Height, 2 * line, 1e-3);
    EXPECT_EQ(measure(L"", pixels).Width, 0);

    const Font points(&family, 9, FontStyleRegular, UnitPoint);  // 12 pixels at 96 dpi
    EXPECT_NEAR(measure(L"Delay", points).Width, one.Width, 1e-3);
}

TEST_F(GdiplusCairoText, AStyleTheFamilyLacksComesFromAFaceOfTheSameNameLoadedElsewhere) {
    const std::vector<unsigned char> boldBytes =
        readFile(QUENVALE_FONTS_DIR "/DejaVuSans-Bold-subset.ttf");
    PrivateFontCollection boldOnly;
    ASSERT_EQ(boldOnly.AddMemoryFont(boldBytes.data(), INT(boldBytes.size())), Ok);
    FontFamily boldFamily;
    INT found = 0;
    boldOnly.GetFamilies(1, &boldFamily, &found);
    ASSERT_TRUE(boldFamily.IsStyleAvailable(FontStyleBold));
    ASSERT_FALSE(boldFamily.IsStyleAvailable(FontStyleRegular));

    const wchar_t* title = L"QUENVALE";
    const REAL regular = measure(title, Font(&family, 12, FontStyleRegular, UnitPixel)).Width;
    const REAL bold = measure(title, Font(&boldFamily, 12, FontStyleBold, UnitPixel)).Width;
    EXPECT_GT(bold, regular + 5);
    EXPECT_EQ(measure(title, Font(&boldFamily, 12, FontStyleRegular, UnitPixel)).Width, regular);
    EXPECT_EQ(measure(title, Font(&family, 12, FontStyleBold, UnitPixel)).Width, bold);
}

TEST_F(GdiplusCairoText, AlignmentsPlaceTheBoxAroundTheAnchorOrInsideTheRectangle) {
    const Font font(&family, 12, FontStyleRegular, UnitPixel);
    const RectF size = measure(L"Delay", font);
    StringFormat format;
    format.SetAlignment(StringAlignmentCenter);
    format.SetLineAlignment(StringAlignmentCenter);
    RectF box = measure(L"Delay", font, RectF(100, 30, 0, 0), &format);
    EXPECT_NEAR(box.X + box.Width / 2, 100, 1e-3);
    EXPECT_NEAR(box.Y + box.Height / 2, 30, 1e-3);
    EXPECT_NEAR(box.Width, size.Width, 1e-3);

    format.SetAlignment(StringAlignmentFar);
    format.SetLineAlignment(StringAlignmentNear);
    box = measure(L"Delay", font, RectF(100, 30, 0, 0), &format);
    EXPECT_NEAR(box.GetRight(), 100, 1e-3);
    EXPECT_NEAR(box.Y, 30, 1e-3);

    format.SetLineAlignment(StringAlignmentFar);
    box = measure(L"Delay", font, RectF(10, 10, 150, 40), &format);
    EXPECT_NEAR(box.GetRight(), 160, 1e-3);
    EXPECT_NEAR(box.GetBottom(), 50, 1e-3);
}

TEST_F(GdiplusCairoText, DrawStringInksInsideTheMeasuredBoxAtEveryAlignment) {
    const Font font(&family, 12, FontStyleRegular, UnitPixel);
    SolidBrush black(kOpaqueBlack);
    for (const StringAlignment alignment :
         {StringAlignmentNear, StringAlignmentCenter, StringAlignmentFar}) {
        graphics.Clear(Color(0));
        StringFormat format;
        format.SetAlignment(alignment);
        format.SetLineAlignment(alignment);
        const RectF anchor(100, 30, 0, 0);
        ASSERT_EQ(graphics.DrawString(L"Delay 400", -1, &font, anchor, &format, &black), Ok);
        const RectF box = measure(L"Delay 400", font, anchor, &format);
        const Ink ink = inkOf(bitmap);
        ASSERT_LE(ink.left, ink.right) << alignment;
        // Pixel centres (at integers here) inside the box, the ink starting about a padding (2)
        // in from its left. The descender of "y" nearly reaches the bottom, and glyphs snap to
        // whole pixels.
        EXPECT_GE(ink.left, box.X + 1) << alignment;
        EXPECT_LE(ink.left, box.X + 4) << alignment;
        EXPECT_LE(ink.right, box.GetRight()) << alignment;
        EXPECT_GE(ink.top, box.Y) << alignment;
        EXPECT_LE(ink.bottom, box.GetBottom() + 0.5) << alignment;
    }
}

TEST(GdiplusCairo, FontsComeOnlyFromUsableBytesAndWithoutOneNothingIsDrawn) {
    PrivateFontCollection collection;
    const std::vector<unsigned char> garbage(4096, 0x5A);
    EXPECT_NE(collection.AddMemoryFont(garbage.data(), INT(garbage.size())), Ok);
    EXPECT_NE(collection.AddMemoryFont(nullptr, 10), Ok);
    EXPECT_EQ(collection.GetFamilyCount(), 0);
    FontFamily none;
    EXPECT_FALSE(none.IsAvailable());
    const Font fromNothing(&none, 12, FontStyleRegular, UnitPixel);
    EXPECT_FALSE(fromNothing.IsAvailable());
    // No system fonts, not even a generic one.
    const Font named(L"DejaVu Sans", 12);
    EXPECT_FALSE(named.IsAvailable());
    EXPECT_FALSE(FontFamily(L"DejaVu Sans").IsAvailable());
    GpFontFamily* generic = nullptr;
    EXPECT_EQ(DllExports::GdipGetGenericFontFamilySansSerif(&generic), FontFamilyNotFound);
    EXPECT_EQ(generic, nullptr);

    Bitmap bitmap(20, 20, PixelFormat32bppPARGB);
    Graphics graphics(&bitmap);
    SolidBrush black(kOpaqueBlack);
    RectF box(1, 2, 3, 4);
    EXPECT_NE(graphics.DrawString(L"x", 1, &fromNothing, RectF(), nullptr, &black), Ok);
    EXPECT_NE(graphics.MeasureString(L"x", 1, &fromNothing, RectF(), &box), Ok);
    EXPECT_NE(graphics.DrawString(L"x", 1, nullptr, RectF(), nullptr, &black), Ok);
    EXPECT_TRUE(box.Equals(RectF(1, 2, 3, 4)));
    EXPECT_EQ(inkOf(bitmap).right, -1);
}

TEST(GdiplusCairo, AnUnusableBitmapGivesAGraphicsWhoseCallsFailHarmlessly) {
    Bitmap empty(0, 5, PixelFormat32bppPARGB);
    EXPECT_EQ(empty.GetLastStatus(), InvalidParameter);
    EXPECT_EQ(empty.GetLastStatus(), Ok);  // read once, as GDI+ does
    EXPECT_EQ(empty.GetWidth(), 0u);
    EXPECT_EQ(Cairo::surface(empty), nullptr);
    EXPECT_NE(Bitmap(-3, 2).GetLastStatus(), Ok);

    Graphics graphics(&empty);
    EXPECT_NE(graphics.GetLastStatus(), Ok);
    SolidBrush black(kOpaqueBlack);
    Pen pen(kOpaqueBlack, 2);
    Bitmap usable(4, 4, PixelFormat32bppPARGB);
    EXPECT_NE(graphics.FillRectangle(&black, 0, 0, 5, 5), Ok);
    EXPECT_NE(graphics.DrawLine(&pen, 0.f, 0.f, 5.f, 5.f), Ok);
    EXPECT_NE(graphics.DrawImage(&usable, 0, 0), Ok);
    EXPECT_NE(graphics.Clear(Color(0xFFFFFFFF)), Ok);
    const GraphicsState state = graphics.Save();
    graphics.Restore(state);
    std::unique_ptr<Graphics> none(Graphics::FromImage(nullptr));
    ASSERT_NE(none, nullptr);
    EXPECT_NE(none->GetLastStatus(), Ok);

    // And on a usable bitmap, an unusable image or a singular transform draws nothing.
    Graphics onUsable(&usable);
    EXPECT_NE(onUsable.DrawImage(&empty, 0, 0), Ok);
    onUsable.ScaleTransform(0, 0);
    EXPECT_NE(onUsable.FillRectangle(&black, 0, 0, 4, 4), Ok);
    onUsable.ResetTransform();
    EXPECT_EQ(onUsable.FillRectangle(&black, 0, 0, 4, 4), Ok);
    EXPECT_EQ(alphaAt(usable, 3, 3), 255);
}

TEST(GdiplusCairo, APngRoundTripKeepsThePixelsAndBytesThatAreNoPngGiveNoBitmap) {
    Bitmap bitmap(3, 2, PixelFormat32bppPARGB);
    const ARGB colours[6] = {0xFF112233, 0xFFFFFFFF, 0x00000000,
                             0x80FF8000, 0xFF000000, 0x40204080};
    for (int i = 0; i < 6; ++i)
        bitmap.SetPixel(i % 3, i / 3, Color(colours[i]));
    const std::string path = ::testing::TempDir() + "gdiplus_cairo_round_trip.png";
    ASSERT_TRUE(Cairo::savePng(bitmap, path.c_str()));
    EXPECT_FALSE(Cairo::savePng(bitmap, "/no/such/folder/x.png"));
    const std::vector<unsigned char> png = readFile(path);
    std::remove(path.c_str());

    const std::unique_ptr<Bitmap> decoded = Cairo::decodePng(png.data(), png.size());
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->GetPixelFormat(), PixelFormat32bppPARGB);
    EXPECT_EQ(memoryOf(*decoded), memoryOf(bitmap));

    const std::vector<unsigned char> garbage(200, 0x42);
    EXPECT_EQ(Cairo::decodePng(garbage.data(), garbage.size()), nullptr);
    EXPECT_EQ(Cairo::decodePng(png.data(), png.size() / 2), nullptr);
    EXPECT_EQ(Cairo::decodePng(png.data(), 0), nullptr);
    EXPECT_EQ(Cairo::decodePng(nullptr, 100), nullptr);
    // A header that claims a huge picture.
    std::vector<unsigned char> huge = png;
    huge[16] = 0x7F;
    EXPECT_EQ(Cairo::decodePng(huge.data(), huge.size()), nullptr);
}

}  // namespace
