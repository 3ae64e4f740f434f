// Bitmaps: cairo ARGB32 image surfaces, which are GDI+'s 32bppPARGB memory layout (B, G, R, A
// premultiplied, little endian), plus PNG reading and writing.
#include <algorithm>
#include <cstring>
#include <new>

#include "gdiplus_cairo_internal.h"

namespace Gdiplus {
namespace {

// Larger PNGs are refused before any memory is taken for them.
constexpr std::uint32_t kMaxPngSide = 16384;

Status statusOf(cairo_status_t status) {
    switch (status) {
        case CAIRO_STATUS_SUCCESS:
            return Ok;
        case CAIRO_STATUS_NO_MEMORY:
            return OutOfMemory;
        default:
            return InvalidParameter;
    }
}

bool supported(PixelFormat format) {
    return format == PixelFormat32bppPARGB || format == PixelFormat32bppARGB;
}

std::uint32_t* pixelAt(cairo_surface_t* surface, int x, int y) {
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    return reinterpret_cast<std::uint32_t*>(data + std::ptrdiff_t(y) * stride) + x;
}

// Copies `rect` of `from` into a new bitmap of its size.
Bitmap* copyOf(cairo_surface_t* from, const Rect& rect, PixelFormat format) {
    auto* copy = new (std::nothrow) Bitmap(rect.Width, rect.Height, format);
    if (!copy)
        return nullptr;
    cairo_surface_t* to = Cairo::surface(*copy);
    if (!to) {
        delete copy;
        return nullptr;
    }
    cairo_surface_flush(from);
    cairo_surface_flush(to);
    for (int y = 0; y < rect.Height; ++y)
        std::memcpy(pixelAt(to, 0, y), pixelAt(from, rect.X, rect.Y + y),
                    std::size_t(rect.Width) * 4);
    cairo_surface_mark_dirty(to);
    return copy;
}

struct PngReader {
    const unsigned char* next;
    std::size_t left;
};

cairo_status_t readPng(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (length > reader->left)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, reader->next, length);
    reader->next += length;
    reader->left -= length;
    return CAIRO_STATUS_SUCCESS;
}

std::uint32_t bigEndian(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

}  // namespace

struct Bitmap::Lock {
    Rect rect;
    UINT flags = 0;
    PixelFormat format = 0;
    std::vector<std::uint32_t> converted;  // for 32bppARGB: straight pixels, row after row
};

Image::~Image() {
    if (surface)
        cairo_surface_destroy(surface);
}

UINT Image::GetWidth() const {
    return surface ? UINT(cairo_image_surface_get_width(surface)) : 0;
}

UINT Image::GetHeight() const {
    return surface ? UINT(cairo_image_surface_get_height(surface)) : 0;
}

Image* Image::Clone() const {
    if (!surface) {
        record(InvalidParameter);
        return nullptr;
    }
    return copyOf(surface, Rect(0, 0, INT(GetWidth()), INT(GetHeight())), format);
}

Bitmap::Bitmap(INT width, INT height, PixelFormat format) {
    this->format = format;
    if (width <= 0 || height <= 0) {
        lastResult = InvalidParameter;
        return;
    }
    if (!supported(format)) {
        lastResult = NotImplemented;
        return;
    }
    cairo_surface_t* made = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    const Status status = statusOf(cairo_surface_status(made));
    if (status != Ok) {
        cairo_surface_destroy(made);
        lastResult = status;
        return;
    }
    surface = made;
}

Bitmap::~Bitmap() = default;

Bitmap* Bitmap::Clone(const Rect& rect, PixelFormat cloneFormat) const {
    if (!surface || !supported(cloneFormat) || rect.X < 0 || rect.Y < 0 || rect.Width <= 0 ||
        rect.Height <= 0 || rect.Width > INT(GetWidth()) - rect.X ||
        rect.Height > INT(GetHeight()) - rect.Y) {
        record(InvalidParameter);
        return nullptr;
    }
    return copyOf(surface, rect, cloneFormat);
}

Status Bitmap::GetPixel(INT x, INT y, Color* color) const {
    if (!surface || !color || x < 0 || y < 0 || x >= INT(GetWidth()) || y >= INT(GetHeight()))
        return record(InvalidParameter);
    cairo_surface_flush(surface);
    *color = Color(unpremultiply(*pixelAt(surface, x, y)));
    return Ok;
}

Status Bitmap::SetPixel(INT x, INT y, const Color& color) {
    if (!surface || x < 0 || y < 0 || x >= INT(GetWidth()) || y >= INT(GetHeight()))
        return record(InvalidParameter);
    cairo_surface_flush(surface);
    *pixelAt(surface, x, y) = premultiply(color.GetValue());
    cairo_surface_mark_dirty_rectangle(surface, x, y, 1, 1);
    return Ok;
}

Status Bitmap::LockBits(const Rect* rect, UINT flags, PixelFormat lockFormat, BitmapData* data) {
    if (!surface || !data)
        return record(InvalidParameter);
    if (lock)
        return record(WrongState);
    if ((flags & (ImageLockModeRead | ImageLockModeWrite)) == 0)
        return record(InvalidParameter);
    if ((flags & ImageLockModeUserInputBuf) != 0 || !supported(lockFormat))
        return record(NotImplemented);
    const Rect area = rect ? *rect : Rect(0, 0, INT(GetWidth()), INT(GetHeight()));
    if (area.X < 0 || area.Y < 0 || area.Width <= 0 || area.Height <= 0 ||
        area.Width > INT(GetWidth()) - area.X || area.Height > INT(GetHeight()) - area.Y)
        return record(InvalidParameter);
    try {
        auto made = std::make_unique<Lock>();
        made->rect = area;
        made->flags = flags;
        made->format = lockFormat;
        cairo_surface_flush(surface);
        data->Width = UINT(area.Width);
        data->Height = UINT(area.Height);
        data->PixelFormat = lockFormat;
        data->Reserved = 0;
        if (lockFormat == PixelFormat32bppPARGB) {
            data->Stride = cairo_image_surface_get_stride(surface);
            data->Scan0 = pixelAt(surface, area.X, area.Y);
        } else {
            made->converted.resize(std::size_t(area.Width) * std::size_t(area.Height));
            for (int y = 0; y < area.Height; ++y) {
                const std::uint32_t* row = pixelAt(surface, area.X, area.Y + y);
                std::transform(row, row + area.Width,
                               made->converted.begin() + std::ptrdiff_t(y) * area.Width,
                               unpremultiply);
            }
            data->Stride = area.Width * 4;
            data->Scan0 = made->converted.data();
        }
        lock = std::move(made);
        return Ok;
    } catch (...) {
        return record(OutOfMemory);
    }
}

Status Bitmap::UnlockBits(BitmapData* data) {
    if (!lock || !data)
        return record(WrongState);
    const Rect& area = lock->rect;
    if ((lock->flags & ImageLockModeWrite) != 0) {
        if (!lock->converted.empty()) {
            for (int y = 0; y < area.Height; ++y) {
                const std::uint32_t* row = lock->converted.data() + std::ptrdiff_t(y) * area.Width;
                std::transform(row, row + area.Width, pixelAt(surface, area.X, area.Y + y),
                               premultiply);
            }
        }
        cairo_surface_mark_dirty_rectangle(surface, area.X, area.Y, area.Width, area.Height);
    }
    lock.reset();
    return Ok;
}

namespace Cairo {

cairo_surface_t* surface(const Image& image) {
    return Internal::surface(image);
}

std::unique_ptr<Bitmap> decodePng(const void* bytes, std::size_t size) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto* data = static_cast<const unsigned char*>(bytes);
    // The signature, then the header chunk, which must come first: width and height are
    // checked before cairo allocates for them.
    if (!data || size < 33 || std::memcmp(data, kSignature, 8) != 0 ||
        std::memcmp(data + 12, "IHDR", 4) != 0)
        return nullptr;
    const std::uint32_t width = bigEndian(data + 16), height = bigEndian(data + 20);
    if (width == 0 || height == 0 || width > kMaxPngSide || height > kMaxPngSide)
        return nullptr;

    PngReader reader{data, size};
    cairo_surface_t* decoded = cairo_image_surface_create_from_png_stream(readPng, &reader);
    std::unique_ptr<Bitmap> bitmap;
    if (cairo_surface_status(decoded) == CAIRO_STATUS_SUCCESS) {
        bitmap.reset(new (std::nothrow)
                         Bitmap(cairo_image_surface_get_width(decoded),
                                cairo_image_surface_get_height(decoded), PixelFormat32bppPARGB));
        cairo_surface_t* target = bitmap ? surface(*bitmap) : nullptr;
        if (target) {
            // Whatever cairo decoded to (ARGB32, or RGB24 for opaque images) becomes PARGB.
            cairo_t* cr = cairo_create(target);
            cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
            cairo_set_source_surface(cr, decoded, 0, 0);
            cairo_paint(cr);
            if (cairo_status(cr) != CAIRO_STATUS_SUCCESS)
                bitmap.reset();
            cairo_destroy(cr);
        } else {
            bitmap.reset();
        }
    }
    cairo_surface_destroy(decoded);
    return bitmap;
}

bool savePng(const Image& image, const char* path) {
    cairo_surface_t* source = surface(image);
    if (!source || !path || !*path)
        return false;
    cairo_surface_flush(source);
    return cairo_surface_write_to_png(source, path) == CAIRO_STATUS_SUCCESS;
}

}  // namespace Cairo
}  // namespace Gdiplus
