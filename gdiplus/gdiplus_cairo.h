// GDI+'s C++ drawing API (namespace Gdiplus) on cairo image surfaces and FreeType, for the
// platforms without GDI+: the widgets keep one drawing code. Names, signatures, enum values and
// behaviour follow GDI+ as far as the widgets use it; README.md lists what differs. Nothing here
// throws: failures are statuses, and an object that could not be made draws nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo_pattern cairo_pattern_t;

// What <windows.h> declares and the widgets use unqualified.
typedef unsigned char BYTE;
typedef int INT;
typedef unsigned int UINT;
typedef wchar_t WCHAR;
typedef std::uintptr_t ULONG_PTR;
typedef unsigned short LANGID;
inline constexpr LANGID LANG_NEUTRAL = 0;
inline constexpr int LF_FACESIZE = 32;

// Pixel formats as GDI+ numbers them. Bitmaps hold premultiplied ARGB whatever they are made
// with; LockBits converts for 32bppARGB.
#define PixelFormat32bppARGB 0x0026200A
#define PixelFormat32bppPARGB 0x000E200B

namespace Gdiplus {

using ::BYTE;
using ::INT;
using ::UINT;
using ::WCHAR;
typedef float REAL;
typedef std::uint32_t ARGB;
typedef INT PixelFormat;
typedef UINT GraphicsState;

enum Status {
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
};

enum SmoothingMode {
    SmoothingModeInvalid = -1,
    SmoothingModeDefault = 0,
    SmoothingModeHighSpeed = 1,
    SmoothingModeHighQuality = 2,
    SmoothingModeNone = 3,
    SmoothingModeAntiAlias = 4,
    SmoothingModeAntiAlias8x4 = 4,
    SmoothingModeAntiAlias8x8 = 5,
};

enum PixelOffsetMode {
    PixelOffsetModeInvalid = -1,
    PixelOffsetModeDefault = 0,
    PixelOffsetModeHighSpeed = 1,
    PixelOffsetModeHighQuality = 2,
    PixelOffsetModeNone = 3,
    PixelOffsetModeHalf = 4,
};

enum CompositingMode { CompositingModeSourceOver = 0, CompositingModeSourceCopy = 1 };

enum InterpolationMode {
    InterpolationModeInvalid = -1,
    InterpolationModeDefault = 0,
    InterpolationModeLowQuality = 1,
    InterpolationModeHighQuality = 2,
    InterpolationModeBilinear = 3,
    InterpolationModeBicubic = 4,
    InterpolationModeNearestNeighbor = 5,
    InterpolationModeHighQualityBilinear = 6,
    InterpolationModeHighQualityBicubic = 7,
};

enum FillMode { FillModeAlternate = 0, FillModeWinding = 1 };

enum WrapMode {
    WrapModeTile = 0,
    WrapModeTileFlipX = 1,
    WrapModeTileFlipY = 2,
    WrapModeTileFlipXY = 3,
    WrapModeClamp = 4,
};

enum MatrixOrder { MatrixOrderPrepend = 0, MatrixOrderAppend = 1 };

enum CombineMode {
    CombineModeReplace = 0,
    CombineModeIntersect = 1,
    CombineModeUnion = 2,
    CombineModeXor = 3,
    CombineModeExclude = 4,
    CombineModeComplement = 5,
};

enum Unit {
    UnitWorld = 0,
    UnitDisplay = 1,
    UnitPixel = 2,
    UnitPoint = 3,
    UnitInch = 4,
    UnitDocument = 5,
    UnitMillimeter = 6,
};

enum FontStyle {
    FontStyleRegular = 0,
    FontStyleBold = 1,
    FontStyleItalic = 2,
    FontStyleBoldItalic = 3,
    FontStyleUnderline = 4,
    FontStyleStrikeout = 8,
};

enum StringAlignment { StringAlignmentNear = 0, StringAlignmentCenter = 1, StringAlignmentFar = 2 };

enum StringFormatFlags {
    StringFormatFlagsDirectionRightToLeft = 0x0001,
    StringFormatFlagsDirectionVertical = 0x0002,
    StringFormatFlagsNoFitBlackBox = 0x0004,
    StringFormatFlagsDisplayFormatControl = 0x0020,
    StringFormatFlagsNoFontFallback = 0x0400,
    StringFormatFlagsMeasureTrailingSpaces = 0x0800,
    StringFormatFlagsNoWrap = 0x1000,
    StringFormatFlagsLineLimit = 0x2000,
    StringFormatFlagsNoClip = 0x4000,
};

enum ImageLockMode {
    ImageLockModeRead = 0x0001,
    ImageLockModeWrite = 0x0002,
    ImageLockModeUserInputBuf = 0x0004,
};

enum ColorMatrixFlags {
    ColorMatrixFlagsDefault = 0,
    ColorMatrixFlagsSkipGrays = 1,
    ColorMatrixFlagsAltGray = 2,
};

enum ColorAdjustType {
    ColorAdjustTypeDefault = 0,
    ColorAdjustTypeBitmap = 1,
    ColorAdjustTypeBrush = 2,
    ColorAdjustTypePen = 3,
    ColorAdjustTypeText = 4,
    ColorAdjustTypeCount = 5,
    ColorAdjustTypeAny = 6,
};

enum BrushType {
    BrushTypeSolidColor = 0,
    BrushTypeHatchFill = 1,
    BrushTypeTextureFill = 2,
    BrushTypePathGradient = 3,
    BrushTypeLinearGradient = 4,
};

// Startup and shutdown have nothing to do here; they answer Ok so the session code is shared.
struct GdiplusStartupInput {
    UINT GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    INT SuppressBackgroundThread = 0;
    INT SuppressExternalCodecs = 0;
};
struct GdiplusStartupOutput {
    void* NotificationHook = nullptr;
    void* NotificationUnhook = nullptr;
};
Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                      GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

struct PointF {
    REAL X = 0, Y = 0;
    PointF() = default;
    PointF(REAL x, REAL y) : X(x), Y(y) {}
    bool Equals(const PointF& o) const { return X == o.X && Y == o.Y; }
};

struct Point {
    INT X = 0, Y = 0;
    Point() = default;
    Point(INT x, INT y) : X(x), Y(y) {}
};

struct SizeF {
    REAL Width = 0, Height = 0;
    SizeF() = default;
    SizeF(REAL width, REAL height) : Width(width), Height(height) {}
};

struct RectF {
    REAL X = 0, Y = 0, Width = 0, Height = 0;
    RectF() = default;
    RectF(REAL x, REAL y, REAL width, REAL height) : X(x), Y(y), Width(width), Height(height) {}
    RectF(const PointF& location, const SizeF& size)
        : X(location.X), Y(location.Y), Width(size.Width), Height(size.Height) {}
    REAL GetLeft() const { return X; }
    REAL GetTop() const { return Y; }
    REAL GetRight() const { return X + Width; }
    REAL GetBottom() const { return Y + Height; }
    bool IsEmptyArea() const { return !(Width > 0 && Height > 0); }
    bool Contains(REAL x, REAL y) const {
        return x >= X && x < X + Width && y >= Y && y < Y + Height;
    }
    bool Equals(const RectF& o) const {
        return X == o.X && Y == o.Y && Width == o.Width && Height == o.Height;
    }
};

struct Rect {
    INT X = 0, Y = 0, Width = 0, Height = 0;
    Rect() = default;
    Rect(INT x, INT y, INT width, INT height) : X(x), Y(y), Width(width), Height(height) {}
    INT GetLeft() const { return X; }
    INT GetTop() const { return Y; }
    INT GetRight() const { return X + Width; }
    INT GetBottom() const { return Y + Height; }
};

// Alpha in bits 24 to 31, red 16 to 23, green 8 to 15, blue 0 to 7; not premultiplied.
class Color {
  public:
    enum : ARGB { Black = 0xFF000000u, White = 0xFFFFFFFFu, Transparent = 0x00FFFFFFu };

    Color() : argb(Black) {}
    Color(ARGB value) : argb(value) {}
    Color(BYTE r, BYTE g, BYTE b) : argb(MakeARGB(255, r, g, b)) {}
    Color(BYTE a, BYTE r, BYTE g, BYTE b) : argb(MakeARGB(a, r, g, b)) {}

    static ARGB MakeARGB(BYTE a, BYTE r, BYTE g, BYTE b) {
        return ARGB(a) << 24 | ARGB(r) << 16 | ARGB(g) << 8 | ARGB(b);
    }
    BYTE GetA() const { return BYTE(argb >> 24); }
    BYTE GetR() const { return BYTE(argb >> 16); }
    BYTE GetG() const { return BYTE(argb >> 8); }
    BYTE GetB() const { return BYTE(argb); }
    BYTE GetAlpha() const { return GetA(); }
    BYTE GetRed() const { return GetR(); }
    BYTE GetGreen() const { return GetG(); }
    BYTE GetBlue() const { return GetB(); }
    ARGB GetValue() const { return argb; }
    void SetValue(ARGB value) { argb = value; }

  private:
    ARGB argb;
};

struct BitmapData {
    UINT Width = 0;
    UINT Height = 0;
    INT Stride = 0;
    ::Gdiplus::PixelFormat PixelFormat = 0;
    void* Scan0 = nullptr;
    std::uintptr_t Reserved = 0;
};

class Graphics;
class Pen;
class Image;
class FontFamily;
struct Internal;  // the implementation's access to the classes' insides

// Row vectors, as GDI+: x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy. "Prepend" applies the
// new operation before the existing transform, "append" after it.
class Matrix {
  public:
    Matrix() = default;
    Matrix(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy);
    Matrix(const Matrix&) = delete;
    Matrix& operator=(const Matrix&) = delete;

    Matrix* Clone() const;
    Status GetElements(REAL* m) const;
    Status SetElements(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy);
    Status Reset();
    Status Multiply(const Matrix* matrix, MatrixOrder order = MatrixOrderPrepend);
    Status Translate(REAL offsetX, REAL offsetY, MatrixOrder order = MatrixOrderPrepend);
    Status Scale(REAL scaleX, REAL scaleY, MatrixOrder order = MatrixOrderPrepend);
    Status Rotate(REAL angle, MatrixOrder order = MatrixOrderPrepend);
    Status RotateAt(REAL angle, const PointF& center, MatrixOrder order = MatrixOrderPrepend);
    Status Invert();
    bool IsInvertible() const;
    bool IsIdentity() const;
    Status TransformPoints(PointF* points, INT count = 1) const;
    Status GetLastStatus() const;

  private:
    friend struct Internal;
    Status record(Status status) const;

    // m11, m12, m21, m22, dx, dy, kept in double so long chains of operations stay exact.
    double e[6] = {1, 0, 0, 1, 0, 0};
    mutable Status lastResult = Ok;
};

// A path as GDI+ keeps one: points with types (start, line, cubic Bézier; a flag closes the
// figure). Arcs and ellipses become Béziers, so Transform is exact.
class GraphicsPath {
  public:
    GraphicsPath(FillMode fillMode = FillModeAlternate);
    GraphicsPath(const GraphicsPath&) = delete;
    GraphicsPath& operator=(const GraphicsPath&) = delete;

    GraphicsPath* Clone() const;
    Status Reset();
    FillMode GetFillMode() const { return fillMode; }
    Status CloseFigure();
    Status AddLine(REAL x1, REAL y1, REAL x2, REAL y2);
    Status AddLine(const PointF& pt1, const PointF& pt2);
    Status AddLines(const PointF* points, INT count);
    Status AddBezier(const PointF& pt1, const PointF& pt2, const PointF& pt3, const PointF& pt4);
    Status AddBeziers(const PointF* points, INT count);
    // Angles in degrees, clockwise on screen from the positive x axis.
    Status AddArc(REAL x, REAL y, REAL width, REAL height, REAL startAngle, REAL sweepAngle);
    Status AddArc(const RectF& rect, REAL startAngle, REAL sweepAngle);
    Status AddEllipse(REAL x, REAL y, REAL width, REAL height);
    Status AddEllipse(const RectF& rect);
    Status AddRectangle(const RectF& rect);
    Status Transform(const Matrix* matrix);
    Status GetBounds(RectF* bounds, const Matrix* matrix = nullptr, const Pen* pen = nullptr) const;
    INT GetPointCount() const { return INT(points.size()); }
    Status GetPathPoints(PointF* out, INT count) const;
    Status GetPathTypes(BYTE* out, INT count) const;
    Status GetLastStatus() const;

    enum : BYTE { kStart = 0, kLine = 1, kBezier = 3, kCloseSubpath = 0x80 };

  private:
    friend struct Internal;
    Status record(Status status) const;
    // The type for a figure's next point: a line joins it to an open figure, or it starts one.
    Status append(const PointF* added, INT count, BYTE type, bool joined);

    FillMode fillMode;
    std::vector<PointF> points;
    std::vector<BYTE> types;
    bool figureOpen = false;
    mutable Status lastResult = Ok;
};

class Brush {
  public:
    Brush(const Brush&) = delete;
    Brush& operator=(const Brush&) = delete;
    virtual ~Brush();
    BrushType GetType() const { return type; }
    Status GetLastStatus() const;

  protected:
    explicit Brush(BrushType type) : type(type) {}
    Status record(Status status) const;
    mutable Status lastResult = Ok;

  private:
    friend struct Internal;
    // A new cairo pattern in world coordinates (the caller destroys it); null when the brush
    // cannot paint. filter: the cairo filter for image brushes.
    virtual cairo_pattern_t* makePattern(int filter) const = 0;

    BrushType type;
};

class SolidBrush : public Brush {
  public:
    SolidBrush(const Color& color);
    Status GetColor(Color* color) const;
    Status SetColor(const Color& color);

  private:
    cairo_pattern_t* makePattern(int filter) const override;
    Color color;
};

// Colour runs from color1 at point1 to color2 at point2, constant across; beyond them it
// repeats (GDI+'s default wrap mode, tile).
class LinearGradientBrush : public Brush {
  public:
    LinearGradientBrush(const PointF& point1, const PointF& point2, const Color& color1,
                        const Color& color2);
    WrapMode GetWrapMode() const { return wrapMode; }

  private:
    cairo_pattern_t* makePattern(int filter) const override;
    PointF p1, p2;
    Color c1, c2;
    WrapMode wrapMode = WrapModeTile;
};

// A radial gradient over the path's bounding box: the centre colour at the box's centre, the
// surround colour at the box's edge. Made for ellipses, where it
// is what GDI+ draws; other paths get the same elliptical gradient.
class PathGradientBrush : public Brush {
  public:
    PathGradientBrush(const GraphicsPath* path);
    Status SetCenterColor(const Color& color);
    // One colour for the whole edge: with several, the first is used.
    Status SetSurroundColors(const Color* colors, INT* count);

  private:
    cairo_pattern_t* makePattern(int filter) const override;
    RectF bounds;
    PointF center;
    INT pointCount = 0;
    Color centerColor{Color::White};
    Color surroundColor{Color::White};
};

// The image as it is when the brush is made, in world units of one per pixel, mapped by the
// brush's transform.
class TextureBrush : public Brush {
  public:
    TextureBrush(Image* image, WrapMode wrapMode = WrapModeTile);
    ~TextureBrush() override;
    Status SetTransform(const Matrix* matrix);
    Status GetTransform(Matrix* matrix) const;
    Status ResetTransform();
    WrapMode GetWrapMode() const { return wrapMode; }

  private:
    cairo_pattern_t* makePattern(int filter) const override;
    cairo_surface_t* texture = nullptr;
    WrapMode wrapMode;
    double transform[6] = {1, 0, 0, 1, 0, 0};
};

// Width in world units (0: one device pixel), flat caps, miter joins with limit 10.
class Pen {
  public:
    Pen(const Color& color, REAL width = 1.0f);
    Pen(const Pen&) = delete;
    Pen& operator=(const Pen&) = delete;
    Status SetColor(const Color& color);
    Status GetColor(Color* color) const;
    Status SetWidth(REAL width);
    REAL GetWidth() const { return width; }
    Status GetLastStatus() const;

  private:
    friend struct Internal;
    Status record(Status status) const;
    Color color;
    REAL width;
    mutable Status lastResult = Ok;
};

class Image {
  public:
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    virtual ~Image();

    UINT GetWidth() const;
    UINT GetHeight() const;
    PixelFormat GetPixelFormat() const { return format; }
    REAL GetHorizontalResolution() const { return 96.0f; }
    REAL GetVerticalResolution() const { return 96.0f; }
    // A bitmap of the same pixels; null when there is no memory.
    Image* Clone() const;
    Status GetLastStatus() const;

  protected:
    Image() = default;
    Status record(Status status) const;

    cairo_surface_t* surface = nullptr;  // ARGB32 (premultiplied); null for an unusable image
    PixelFormat format = PixelFormat32bppPARGB;
    mutable Status lastResult = Ok;

  private:
    friend struct Internal;
};

class Bitmap : public Image {
  public:
    // A width or height of 0 or less gives an unusable bitmap (InvalidParameter).
    Bitmap(INT width, INT height, PixelFormat format = PixelFormat32bppARGB);
    ~Bitmap() override;

    Bitmap* Clone(const Rect& rect, PixelFormat format) const;
    // Not premultiplied, as Color always is.
    Status GetPixel(INT x, INT y, Color* color) const;
    Status SetPixel(INT x, INT y, const Color& color);
    // Read and write straight into the pixels for 32bppPARGB, or through a converted copy for
    // 32bppARGB. One lock at a time.
    Status LockBits(const Rect* rect, UINT flags, PixelFormat format, BitmapData* lockedBitmapData);
    Status UnlockBits(BitmapData* lockedBitmapData);

  private:
    friend struct Internal;
    struct Lock;
    std::unique_ptr<Lock> lock;
};

struct ColorMatrix {
    REAL m[5][5];
};

// Of the colour matrix only the alpha scale, m[3][3], is applied.
class ImageAttributes {
  public:
    ImageAttributes() = default;
    ImageAttributes(const ImageAttributes&) = delete;
    ImageAttributes& operator=(const ImageAttributes&) = delete;
    Status SetColorMatrix(const ColorMatrix* colorMatrix,
                          ColorMatrixFlags mode = ColorMatrixFlagsDefault,
                          ColorAdjustType type = ColorAdjustTypeDefault);
    Status GetLastStatus() const;

  private:
    friend struct Internal;
    Status record(Status status) const;
    REAL alpha = 1.0f;
    mutable Status lastResult = Ok;
};

// Fonts come only from bytes handed to a PrivateFontCollection: there are no system fonts.
struct FontFamilyData;
struct FontFace;

class FontCollection {
  public:
    FontCollection() = default;
    FontCollection(const FontCollection&) = delete;
    FontCollection& operator=(const FontCollection&) = delete;
    virtual ~FontCollection();
    INT GetFamilyCount() const;
    Status GetFamilies(INT numSought, FontFamily* gpfamilies, INT* numFound) const;
    Status GetLastStatus() const;

  protected:
    friend struct Internal;
    Status record(Status status) const;
    std::vector<std::shared_ptr<const FontFamilyData>> families;
    mutable Status lastResult = Ok;
};

class PrivateFontCollection : public FontCollection {
  public:
    // Copies the bytes: the memory may be freed afterwards. Bytes FreeType cannot read as a
    // scalable font give GenericError.
    Status AddMemoryFont(const void* memory, INT length);
};

class FontFamily {
  public:
    FontFamily() = default;
    // Found only in `collection`: there are no installed families.
    FontFamily(const WCHAR* name, const FontCollection* collection = nullptr);
    FontFamily(const FontFamily&) = default;
    FontFamily& operator=(const FontFamily&) = default;

    FontFamily* Clone() const;
    bool IsAvailable() const { return data != nullptr; }
    Status GetFamilyName(WCHAR name[LF_FACESIZE], LANGID language = 0) const;
    bool IsStyleAvailable(INT style) const;
    Status GetLastStatus() const;

  private:
    friend struct Internal;
    Status record(Status status) const;
    std::shared_ptr<const FontFamilyData> data;
    mutable Status lastResult = Ok;
};

class Font {
  public:
    Font(const FontFamily* family, REAL emSize, INT style = FontStyleRegular,
         Unit unit = UnitPoint);
    // Found only in `collection`: there are no installed families.
    Font(const WCHAR* familyName, REAL emSize, INT style = FontStyleRegular, Unit unit = UnitPoint,
         const FontCollection* collection = nullptr);
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    Font* Clone() const;
    bool IsAvailable() const { return face != nullptr; }
    REAL GetSize() const { return size; }
    Unit GetUnit() const { return unit; }
    INT GetStyle() const { return style; }
    Status GetFamily(FontFamily* family) const;
    // The line spacing in pixels at `dpi`.
    REAL GetHeight(REAL dpi) const;
    REAL GetHeight(const Graphics* graphics) const;
    Status GetLastStatus() const;

  private:
    friend struct Internal;
    Status record(Status status) const;
    void choose(const std::shared_ptr<const FontFamilyData>& from);
    // The em in world units of a 96-dpi graphics.
    double emPixels() const;

    std::shared_ptr<const FontFamilyData> family;
    const FontFace* face = nullptr;  // lives as long as the process
    REAL size = 0;
    INT style = FontStyleRegular;
    Unit unit = UnitPoint;
    mutable Status lastResult = Ok;
};

class StringFormat {
  public:
    StringFormat(INT formatFlags = 0, LANGID language = LANG_NEUTRAL)
        : flags(formatFlags), language(language) {}
    Status SetFormatFlags(INT formatFlags);
    INT GetFormatFlags() const { return flags; }
    Status SetAlignment(StringAlignment align);
    StringAlignment GetAlignment() const { return alignment; }
    Status SetLineAlignment(StringAlignment align);
    StringAlignment GetLineAlignment() const { return lineAlignment; }
    LANGID GetLanguage() const { return language; }
    Status GetLastStatus() const;

  private:
    Status record(Status status) const;
    INT flags;
    LANGID language;
    StringAlignment alignment = StringAlignmentNear;
    StringAlignment lineAlignment = StringAlignmentNear;
    mutable Status lastResult = Ok;
};

// A drawing context on an image. Pixel offset "none" (GDI+'s default) puts pixel centres at
// integer coordinates, "half" at .5 as cairo does; both draw as GDI+ does.
class Graphics {
  public:
    Graphics(Image* image);
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;
    ~Graphics();
    // Never null but when there is no memory; check GetLastStatus.
    static Graphics* FromImage(Image* image);

    Status GetLastStatus() const;
    Status Flush();
    REAL GetDpiX() const { return 96.0f; }
    REAL GetDpiY() const { return 96.0f; }

    GraphicsState Save();
    // Restores a state and drops every state saved after it.
    Status Restore(GraphicsState state);

    Status ResetTransform();
    Status SetTransform(const Matrix* matrix);
    Status GetTransform(Matrix* matrix) const;
    Status MultiplyTransform(const Matrix* matrix, MatrixOrder order = MatrixOrderPrepend);
    Status TranslateTransform(REAL dx, REAL dy, MatrixOrder order = MatrixOrderPrepend);
    Status ScaleTransform(REAL sx, REAL sy, MatrixOrder order = MatrixOrderPrepend);

    // In world coordinates, as they are when the clip is set; pixels are in or out.
    Status SetClip(const RectF& rect, CombineMode combineMode = CombineModeReplace);
    Status SetClip(const Rect& rect, CombineMode combineMode = CombineModeReplace);
    Status ResetClip();

    Status SetSmoothingMode(SmoothingMode mode);
    SmoothingMode GetSmoothingMode() const { return smoothing; }
    Status SetPixelOffsetMode(PixelOffsetMode mode);
    PixelOffsetMode GetPixelOffsetMode() const { return pixelOffset; }
    Status SetCompositingMode(CompositingMode mode);
    CompositingMode GetCompositingMode() const { return compositing; }
    Status SetInterpolationMode(InterpolationMode mode);
    InterpolationMode GetInterpolationMode() const { return interpolation; }

    // Every pixel in the clip, whatever the transform.
    Status Clear(const Color& color);

    Status FillRectangle(const Brush* brush, const RectF& rect);
    Status FillRectangle(const Brush* brush, REAL x, REAL y, REAL width, REAL height);
    Status FillRectangle(const Brush* brush, const Rect& rect);
    Status FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height);
    Status FillEllipse(const Brush* brush, const RectF& rect);
    Status FillEllipse(const Brush* brush, REAL x, REAL y, REAL width, REAL height);
    Status FillEllipse(const Brush* brush, INT x, INT y, INT width, INT height);
    Status FillPath(const Brush* brush, const GraphicsPath* path);

    Status DrawLine(const Pen* pen, REAL x1, REAL y1, REAL x2, REAL y2);
    Status DrawLine(const Pen* pen, const PointF& pt1, const PointF& pt2);
    Status DrawLine(const Pen* pen, INT x1, INT y1, INT x2, INT y2);
    Status DrawPath(const Pen* pen, const GraphicsPath* path);

    // At the image's size in pixels, taken as world units.
    Status DrawImage(Image* image, REAL x, REAL y);
    Status DrawImage(Image* image, INT x, INT y);
    Status DrawImage(Image* image, const PointF& point);
    Status DrawImage(Image* image, const RectF& destRect);
    Status DrawImage(Image* image, const Rect& destRect);
    Status DrawImage(Image* image, REAL x, REAL y, REAL width, REAL height);
    Status DrawImage(Image* image, INT x, INT y, INT width, INT height);
    // The source rectangle in pixels (srcUnit UnitPixel) stretched onto destRect.
    Status DrawImage(Image* image, const RectF& destRect, REAL srcx, REAL srcy, REAL srcwidth,
                     REAL srcheight, Unit srcUnit,
                     const ImageAttributes* imageAttributes = nullptr);

    // length -1: up to the terminating zero. Lines end at '\n'; nothing wraps.
    Status DrawString(const WCHAR* string, INT length, const Font* font, const RectF& layoutRect,
                      const StringFormat* stringFormat, const Brush* brush);
    Status DrawString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                      const Brush* brush);
    Status DrawString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                      const StringFormat* stringFormat, const Brush* brush);
    Status MeasureString(const WCHAR* string, INT length, const Font* font, const RectF& layoutRect,
                         RectF* boundingBox) const;
    Status MeasureString(const WCHAR* string, INT length, const Font* font, const RectF& layoutRect,
                         const StringFormat* stringFormat, RectF* boundingBox,
                         INT* codepointsFitted = nullptr, INT* linesFilled = nullptr) const;
    Status MeasureString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                         RectF* boundingBox) const;
    Status MeasureString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                         const StringFormat* stringFormat, RectF* boundingBox) const;

  private:
    friend struct Internal;
    struct Saved;
    Status record(Status status) const;

    cairo_surface_t* target = nullptr;  // a reference of our own
    cairo_t* cr = nullptr;
    double world[6] = {1, 0, 0, 1, 0, 0};
    SmoothingMode smoothing = SmoothingModeDefault;
    PixelOffsetMode pixelOffset = PixelOffsetModeDefault;
    CompositingMode compositing = CompositingModeSourceOver;
    InterpolationMode interpolation = InterpolationModeBilinear;
    // The clip as the rectangles intersected into it, each with the device mapping it was set
    // under; applied to cairo when it changed (clipDirty).
    struct ClipStep;
    std::vector<ClipStep> clip;
    bool clipDirty = false;
    std::vector<Saved> saved;
    GraphicsState nextState = 1;
    mutable Status lastResult = Ok;
};

// The flat API's font family, for the calls below.
struct GpFontFamily;

namespace DllExports {
// There is no generic family here: answers FontFamilyNotFound and null.
Status GdipGetGenericFontFamilySansSerif(GpFontFamily** nativeFamily);
Status GdipGetFamilyName(const GpFontFamily* family, WCHAR name[LF_FACESIZE], LANGID language);
Status GdipDeleteFontFamily(GpFontFamily* family);
}  // namespace DllExports

// What GDI+ has no name for.
namespace Cairo {
// The bitmap's cairo surface (still owned by the image); null for an unusable image. Flush it
// before reading its memory and mark it dirty after writing it.
cairo_surface_t* surface(const Image& image);
// A new 32bppPARGB bitmap of PNG bytes; null for bytes that are no PNG, or too large a one.
std::unique_ptr<Bitmap> decodePng(const void* bytes, std::size_t size);
// False when the image is unusable or the file cannot be written.
bool savePng(const Image& image, const char* path);
}  // namespace Cairo

}  // namespace Gdiplus
