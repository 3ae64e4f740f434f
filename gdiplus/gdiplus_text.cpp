// Fonts from memory (FreeType, drawn by cairo) and text laid out with GDI+'s metrics: a line is
// the font's ascender minus descender plus line gap, a measured string is its advance width
// with a sixth of an em of padding either side, and nothing is kerned.
//
// cairo keeps font faces in caches of its own and may release them at any time, even after
// this code is unloaded from the process. So no face is ever given a destroy callback into this
// code: each distinct font file is loaded once per process into a table that is never freed,
// and its FreeType and cairo faces live as long as the process.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include <cairo-ft.h>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>

#include "gdiplus_cairo_internal.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LEAK_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(LEAK_SANITIZED)
#define LEAK_SANITIZED 1
#endif
#if LEAK_SANITIZED
#include <sanitizer/lsan_interface.h>
#endif

namespace Gdiplus {

struct FontFace {
    std::wstring family;
    bool bold = false, italic = false;
    FT_Face ft = nullptr;
    cairo_font_face_t* cairo = nullptr;
    // Font units.
    double unitsPerEm = 0, ascender = 0, descender = 0, lineSpacing = 0;
    std::unordered_map<std::uint32_t, std::uint32_t> glyphs;  // character to glyph index
    std::vector<long> advances;                               // by glyph index

    std::uint32_t glyph(WCHAR c) const {
        const auto found = glyphs.find(std::uint32_t(c));
        return found == glyphs.end() ? 0 : found->second;
    }
    double advance(std::uint32_t index) const {
        return index < advances.size() ? double(advances[index]) : 0.0;
    }
};

struct FontFamilyData {
    std::wstring name;
    std::vector<const FontFace*> faces;
};

// Never made: there is no generic family to hand out.
struct GpFontFamily {};

namespace {

// Faces of one collection file past this many are not loaded.
constexpr long kMaxFacesPerFile = 64;

struct FaceTable {
    std::mutex mutex;
    FT_Library library = nullptr;
    // Keyed by the font file's bytes; the key is the copy FreeType reads.
    std::unordered_map<std::string, std::vector<const FontFace*>> files;
};

FaceTable& faceTable() {
    static FaceTable* table = [] {
        auto* made = new FaceTable;  // never destroyed, see above
#if LEAK_SANITIZED
        // Kept on purpose, and once the module is unloaded nothing of ours points to it.
        __lsan_ignore_object(made);
#endif
        return made;
    }();
    return *table;
}

bool sameName(const std::wstring& a, const std::wstring& b) {
    const auto lower = [](wchar_t c) {
        return c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c;
    };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](wchar_t x, wchar_t y) { return lower(x) == lower(y); });
}

// Everything the layout needs is read here, once: afterwards only cairo touches the FT_Face,
// under its own lock.
std::unique_ptr<FontFace> describe(FT_Face ft) {
    if (!FT_IS_SCALABLE(ft) || ft->units_per_EM == 0)
        return nullptr;
    auto face = std::make_unique<FontFace>();
    for (const char* c = ft->family_name; c && *c; ++c)
        face->family.push_back(wchar_t(static_cast<unsigned char>(*c)));
    face->bold = (ft->style_flags & FT_STYLE_FLAG_BOLD) != 0;
    face->italic = (ft->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
    face->unitsPerEm = ft->units_per_EM;
    face->ascender = ft->ascender;
    face->descender = ft->descender;
    if (face->ascender - face->descender <= 0) {
        face->ascender = face->unitsPerEm;
        face->descender = 0;
    }
    face->lineSpacing = std::max<double>(ft->height, face->ascender - face->descender);
    face->advances.resize(std::size_t(std::max<FT_Long>(ft->num_glyphs, 0)));
    for (std::size_t index = 0; index < face->advances.size(); ++index) {
        FT_Fixed advance = 0;
        if (FT_Get_Advance(ft, FT_UInt(index), FT_LOAD_NO_SCALE, &advance) == 0)
            face->advances[index] = advance;
    }
    if (FT_Select_Charmap(ft, FT_ENCODING_UNICODE) == 0) {
        FT_UInt index = 0;
        for (FT_ULong c = FT_Get_First_Char(ft, &index); index != 0;
             c = FT_Get_Next_Char(ft, c, &index)) {
            if (c <= 0xFFFF)
                face->glyphs.emplace(std::uint32_t(c), index);
        }
    }
    return face;
}

// The faces of a font file, loaded on first sight; none when FreeType cannot read it.
std::vector<const FontFace*> loadFaces(const void* bytes, std::size_t size) {
    FaceTable& table = faceTable();
    const std::lock_guard<std::mutex> lock(table.mutex);
    std::string key(static_cast<const char*>(bytes), size);
    if (const auto known = table.files.find(key); known != table.files.end())
        return known->second;
    if (!table.library && FT_Init_FreeType(&table.library) != 0) {
        table.library = nullptr;
        return {};
    }
    const auto stored = table.files.emplace(std::move(key), std::vector<const FontFace*>()).first;
    const std::string& file = stored->first;
    std::vector<const FontFace*>& faces = stored->second;
    FT_Long count = 1;
    for (FT_Long index = 0; index < count && index < kMaxFacesPerFile; ++index) {
        FT_Face ft = nullptr;
        if (FT_New_Memory_Face(table.library, reinterpret_cast<const FT_Byte*>(file.data()),
                               FT_Long(file.size()), index, &ft) != 0)
            continue;
        if (index == 0)
            count = ft->num_faces;
        std::unique_ptr<FontFace> face;
        try {
            face = describe(ft);
        } catch (...) {
        }
        cairo_font_face_t* cairo =
            face ? cairo_ft_font_face_create_for_ft_face(ft, FT_LOAD_NO_BITMAP) : nullptr;
        if (!cairo || cairo_font_face_status(cairo) != CAIRO_STATUS_SUCCESS) {
            if (cairo)
                cairo_font_face_destroy(cairo);
            FT_Done_Face(ft);
            continue;
        }
        face->ft = ft;
        face->cairo = cairo;
        faces.push_back(face.release());
    }
    if (faces.empty()) {
        table.files.erase(stored);
        return {};
    }
    return faces;
}

double pixelsPerUnit(Unit unit, double dpi) {
    switch (unit) {
        case UnitPoint:
            return dpi / 72.0;
        case UnitInch:
            return dpi;
        case UnitDocument:
            return dpi / 300.0;
        case UnitMillimeter:
            return dpi / 25.4;
        default:
            return 1.0;  // pixel, world
    }
}

// Where a box of `size` goes along one axis of the layout rectangle: inside it when the
// rectangle has an extent, else around its origin.
double place(double origin, double extent, double size, StringAlignment alignment) {
    const double f = alignment == StringAlignmentCenter ? 0.5
                     : alignment == StringAlignmentFar  ? 1.0
                                                        : 0.0;
    return extent > 0 ? origin + (extent - size) * f : origin - size * f;
}

struct Line {
    std::size_t first = 0, count = 0;  // into TextLayout::glyphs
    double width = 0;
};

struct TextLayout {
    std::vector<cairo_glyph_t> glyphs;  // x from the line's start, y 0
    std::vector<Line> lines;
    double em = 0, pad = 0, ascent = 0, lineHeight = 0;
    double width = 0, height = 0;  // the measured box
};

INT lengthOf(const WCHAR* string, INT length) {
    if (length != -1)
        return length;
    INT n = 0;
    while (string[n] != 0 && n < 0x7FFFFFFF)
        ++n;
    return n;
}

// Lines end at '\n'; '\r' is dropped. Trailing spaces do not count unless asked for.
void layOut(const FontFace& face, double em, const WCHAR* string, INT length, bool trailingSpaces,
            TextLayout& out) {
    const double scale = em / face.unitsPerEm;
    out.em = em;
    out.pad = em / 6.0;
    out.ascent = face.ascender * scale;
    out.lineHeight = face.lineSpacing * scale;
    out.glyphs.reserve(std::size_t(length));
    Line line;
    double pen = 0, inked = 0;
    const auto endLine = [&] {
        line.count = out.glyphs.size() - line.first;
        line.width = trailingSpaces ? pen : inked;
        out.lines.push_back(line);
        out.width = std::max(out.width, line.width);
        line = Line{};
        line.first = out.glyphs.size();
        pen = inked = 0;
    };
    for (INT i = 0; i < length; ++i) {
        const WCHAR c = string[i];
        if (c == L'\n') {
            endLine();
            continue;
        }
        if (c == L'\r')
            continue;
        const std::uint32_t index = face.glyph(c);
        out.glyphs.push_back(cairo_glyph_t{index, pen, 0});
        pen += face.advance(index) * scale;
        if (c != L' ')
            inked = pen;
    }
    endLine();
    if (length == 0) {
        out.width = out.height = 0;
        return;
    }
    out.width += 2 * out.pad;
    out.height = double(out.lines.size()) * out.lineHeight;
}

}  // namespace

// Collections and families

FontCollection::~FontCollection() = default;

INT FontCollection::GetFamilyCount() const {
    return INT(families.size());
}

Status FontCollection::GetFamilies(INT numSought, FontFamily* gpfamilies, INT* numFound) const {
    if (!gpfamilies || !numFound || numSought <= 0)
        return record(InvalidParameter);
    const INT n = std::min(numSought, GetFamilyCount());
    for (INT i = 0; i < n; ++i)
        Internal::setFamily(gpfamilies[i], families[std::size_t(i)]);
    *numFound = n;
    return Ok;
}

Status PrivateFontCollection::AddMemoryFont(const void* memory, INT length) {
    if (!memory || length <= 0)
        return record(InvalidParameter);
    try {
        const std::vector<const FontFace*> faces = loadFaces(memory, std::size_t(length));
        if (faces.empty())
            return record(GenericError);
        for (const FontFace* face : faces) {
            // Families are shared with FontFamily objects: a grown family is a new one.
            auto grown = std::make_shared<FontFamilyData>();
            grown->name = face->family;
            const auto same = std::find_if(families.begin(), families.end(), [face](const auto& f) {
                return sameName(f->name, face->family);
            });
            if (same != families.end())
                grown->faces = (*same)->faces;
            if (std::find(grown->faces.begin(), grown->faces.end(), face) != grown->faces.end())
                continue;
            grown->faces.push_back(face);
            if (same != families.end())
                *same = std::move(grown);
            else
                families.push_back(std::move(grown));
        }
        return Ok;
    } catch (...) {
        return record(OutOfMemory);
    }
}

FontFamily::FontFamily(const WCHAR* name, const FontCollection* collection) {
    if (!name) {
        lastResult = InvalidParameter;
        return;
    }
    if (collection) {
        for (const auto& family : Internal::families(*collection)) {
            if (sameName(family->name, name)) {
                data = family;
                return;
            }
        }
    }
    lastResult = FontFamilyNotFound;
}

FontFamily* FontFamily::Clone() const {
    return new (std::nothrow) FontFamily(*this);
}

Status FontFamily::GetFamilyName(WCHAR name[LF_FACESIZE], LANGID) const {
    if (!name)
        return record(InvalidParameter);
    name[0] = 0;
    if (!data)
        return record(FontFamilyNotFound);
    const std::size_t n = std::min<std::size_t>(data->name.size(), LF_FACESIZE - 1);
    std::copy(data->name.begin(), data->name.begin() + std::ptrdiff_t(n), name);
    name[n] = 0;
    return Ok;
}

bool FontFamily::IsStyleAvailable(INT style) const {
    if (!data)
        return false;
    return std::any_of(data->faces.begin(), data->faces.end(), [style](const FontFace* face) {
        return face->bold == ((style & FontStyleBold) != 0) &&
               face->italic == ((style & FontStyleItalic) != 0);
    });
}

// Fonts

// The face of the style asked for. A family without it takes that style from a face of the
// same name loaded by any collection in the process, as Wine's font mapping does for memory
// fonts, and else lends its first face (where GDI+ on Windows refuses the style).
void Font::choose(const std::shared_ptr<const FontFamilyData>& from) {
    if (!from || from->faces.empty()) {
        record(FontFamilyNotFound);
        return;
    }
    const bool bold = (style & FontStyleBold) != 0, italic = (style & FontStyleItalic) != 0;
    const auto matches = [&](const FontFace* candidate) {
        return candidate->bold == bold && candidate->italic == italic &&
               sameName(candidate->family, from->name);
    };
    family = from;
    const auto own = std::find_if(from->faces.begin(), from->faces.end(), matches);
    if (own != from->faces.end()) {
        face = *own;
        return;
    }
    face = from->faces.front();
    try {
        FaceTable& table = faceTable();
        const std::lock_guard<std::mutex> lock(table.mutex);
        for (const auto& file : table.files) {
            const auto found = std::find_if(file.second.begin(), file.second.end(), matches);
            if (found != file.second.end()) {
                face = *found;
                return;
            }
        }
    } catch (...) {
        // Without the table the family's own face serves.
    }
}

Font::Font(const FontFamily* fontFamily, REAL emSize, INT style, Unit unit)
    : size(emSize), style(style), unit(unit) {
    if (!fontFamily || !(emSize > 0) || !std::isfinite(emSize) || unit == UnitDisplay ||
        unit < UnitWorld || unit > UnitMillimeter) {
        lastResult = InvalidParameter;
        return;
    }
    choose(Internal::family(*fontFamily));
}

Font::Font(const WCHAR* familyName, REAL emSize, INT style, Unit unit,
           const FontCollection* collection)
    : size(emSize), style(style), unit(unit) {
    if (!familyName || !(emSize > 0) || !std::isfinite(emSize) || unit == UnitDisplay ||
        unit < UnitWorld || unit > UnitMillimeter) {
        lastResult = InvalidParameter;
        return;
    }
    const FontFamily found(familyName, collection);
    choose(Internal::family(found));
}

Font* Font::Clone() const {
    FontFamily same;
    Internal::setFamily(same, family);
    return new (std::nothrow) Font(&same, size, style, unit);
}

Status Font::GetFamily(FontFamily* out) const {
    if (!out)
        return record(InvalidParameter);
    Internal::setFamily(*out, family);
    return family ? Ok : record(FontFamilyNotFound);
}

double Font::emPixels() const {
    return size * pixelsPerUnit(unit, 96.0);
}

REAL Font::GetHeight(REAL dpi) const {
    if (!face)
        return 0;
    return static_cast<REAL>(size * pixelsPerUnit(unit, dpi) * face->lineSpacing /
                             face->unitsPerEm);
}

REAL Font::GetHeight(const Graphics* graphics) const {
    return GetHeight(graphics ? graphics->GetDpiY() : 96.0f);
}

// String formats

Status StringFormat::SetFormatFlags(INT formatFlags) {
    flags = formatFlags;
    return Ok;
}

Status StringFormat::SetAlignment(StringAlignment align) {
    if (align < StringAlignmentNear || align > StringAlignmentFar)
        return record(InvalidParameter);
    alignment = align;
    return Ok;
}

Status StringFormat::SetLineAlignment(StringAlignment align) {
    if (align < StringAlignmentNear || align > StringAlignmentFar)
        return record(InvalidParameter);
    lineAlignment = align;
    return Ok;
}

// Measuring and drawing

Status Graphics::MeasureString(const WCHAR* string, INT length, const Font* font,
                               const RectF& layoutRect, RectF* boundingBox) const {
    return MeasureString(string, length, font, layoutRect, nullptr, boundingBox);
}

Status Graphics::MeasureString(const WCHAR* string, INT length, const Font* font,
                               const PointF& origin, RectF* boundingBox) const {
    return MeasureString(string, length, font, RectF(origin.X, origin.Y, 0, 0), nullptr,
                         boundingBox);
}

Status Graphics::MeasureString(const WCHAR* string, INT length, const Font* font,
                               const PointF& origin, const StringFormat* stringFormat,
                               RectF* boundingBox) const {
    return MeasureString(string, length, font, RectF(origin.X, origin.Y, 0, 0), stringFormat,
                         boundingBox);
}

Status Graphics::MeasureString(const WCHAR* string, INT length, const Font* font,
                               const RectF& layoutRect, const StringFormat* stringFormat,
                               RectF* boundingBox, INT* codepointsFitted, INT* linesFilled) const {
    if (!boundingBox || !font || !font->IsAvailable() || length < -1 || (!string && length != 0))
        return record(InvalidParameter);
    try {
        const INT n = string ? lengthOf(string, length) : 0;
        const INT flags = stringFormat ? stringFormat->GetFormatFlags() : 0;
        TextLayout text;
        layOut(*Internal::face(*font), Internal::emPixels(*font), string, n,
               (flags & StringFormatFlagsMeasureTrailingSpaces) != 0, text);
        const StringAlignment h = stringFormat ? stringFormat->GetAlignment() : StringAlignmentNear;
        const StringAlignment v =
            stringFormat ? stringFormat->GetLineAlignment() : StringAlignmentNear;
        *boundingBox = n == 0 ? RectF(layoutRect.X, layoutRect.Y, 0, 0)
                              : RectF(REAL(place(layoutRect.X, layoutRect.Width, text.width, h)),
                                      REAL(place(layoutRect.Y, layoutRect.Height, text.height, v)),
                                      REAL(text.width), REAL(text.height));
        if (codepointsFitted)
            *codepointsFitted = n;
        if (linesFilled)
            *linesFilled = n == 0 ? 0 : INT(text.lines.size());
        return Ok;
    } catch (...) {
        return record(OutOfMemory);
    }
}

Status Graphics::DrawString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                            const Brush* brush) {
    return DrawString(string, length, font, RectF(origin.X, origin.Y, 0, 0), nullptr, brush);
}

Status Graphics::DrawString(const WCHAR* string, INT length, const Font* font, const PointF& origin,
                            const StringFormat* stringFormat, const Brush* brush) {
    return DrawString(string, length, font, RectF(origin.X, origin.Y, 0, 0), stringFormat, brush);
}

// The measured box is placed as MeasureString places it; each line sits in it by the
// horizontal alignment, its glyphs starting a padding in, on a baseline an ascent below the
// line's top.
Status Graphics::DrawString(const WCHAR* string, INT length, const Font* font,
                            const RectF& layoutRect, const StringFormat* stringFormat,
                            const Brush* brush) {
    if (!brush || !font || !font->IsAvailable() || length < -1 || (!string && length != 0))
        return record(InvalidParameter);
    try {
        const INT n = string ? lengthOf(string, length) : 0;
        if (n == 0)
            return Ok;
        const INT flags = stringFormat ? stringFormat->GetFormatFlags() : 0;
        const FontFace& face = *Internal::face(*font);
        TextLayout text;
        layOut(face, Internal::emPixels(*font), string, n,
               (flags & StringFormatFlagsMeasureTrailingSpaces) != 0, text);
        // Sizes cairo cannot render (or that would cover nothing) draw nothing.
        const double stretch =
            std::max(std::hypot(world[0], world[1]), std::hypot(world[2], world[3]));
        const double deviceEm = text.em * stretch;
        if (!(deviceEm > 0.05 && deviceEm < 8192))
            return Ok;
        const Status ready = Internal::begin(*this);
        if (ready != Ok)
            return ready;
        cairo_pattern_t* pattern = Internal::pattern(*brush, Internal::filter(*this));
        if (!pattern)
            return record(InvalidParameter);

        const StringAlignment h = stringFormat ? stringFormat->GetAlignment() : StringAlignmentNear;
        const StringAlignment v =
            stringFormat ? stringFormat->GetLineAlignment() : StringAlignmentNear;
        const double left = place(layoutRect.X, layoutRect.Width, text.width, h);
        const double top = place(layoutRect.Y, layoutRect.Height, text.height, v);
        const double content = text.width - 2 * text.pad;
        const double f = h == StringAlignmentCenter ? 0.5 : h == StringAlignmentFar ? 1.0 : 0.0;
        for (std::size_t i = 0; i < text.lines.size(); ++i) {
            const Line& line = text.lines[i];
            const double x = left + text.pad + (content - line.width) * f;
            const double baseline = top + text.ascent + double(i) * text.lineHeight;
            for (std::size_t k = line.first; k < line.first + line.count; ++k) {
                text.glyphs[k].x += x;
                text.glyphs[k].y = baseline;
            }
        }

        cairo_save(cr);
        const bool clipped =
            layoutRect.Width > 0 && layoutRect.Height > 0 && (flags & StringFormatFlagsNoClip) == 0;
        if (clipped) {
            cairo_rectangle(cr, layoutRect.X, layoutRect.Y, layoutRect.Width, layoutRect.Height);
            cairo_clip(cr);
        }
        cairo_set_source(cr, pattern);
        cairo_pattern_destroy(pattern);
        cairo_set_font_face(cr, face.cairo);
        cairo_set_font_size(cr, text.em);
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_set_font_options(cr, options);
        cairo_font_options_destroy(options);
        cairo_show_glyphs(cr, text.glyphs.data(), int(text.glyphs.size()));
        cairo_restore(cr);
        return Internal::finish(*this);
    } catch (...) {
        return record(OutOfMemory);
    }
}

namespace DllExports {

Status GdipGetGenericFontFamilySansSerif(GpFontFamily** nativeFamily) {
    if (!nativeFamily)
        return InvalidParameter;
    *nativeFamily = nullptr;
    return FontFamilyNotFound;
}

// No family is ever handed out, so there is none to name.
Status GdipGetFamilyName(const GpFontFamily*, WCHAR[LF_FACESIZE], LANGID) {
    return InvalidParameter;
}

Status GdipDeleteFontFamily(GpFontFamily* family) {
    if (!family)
        return InvalidParameter;
    delete family;
    return Ok;
}

}  // namespace DllExports
}  // namespace Gdiplus
