#include "text_edit.h"

#include <cmath>

#include "draw_context.h"
#include "frame.h"

namespace VSTGUI {
namespace {

using Gdiplus::REAL;

constexpr double kMargin = 2;  // between the border and the text, in the frame's units

REAL real(double x) {
    return static_cast<REAL>(x);
}

bool isSurrogate(uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

// Control without Alt makes a shortcut, not a character; Control with Alt is AltGr on Windows.
bool typesCharacter(const VstKeyCode& key) {
    const int32_t c = key.character;
    if (c < 0x20 || c == 0x7F || c > 0xFFFF || isSurrogate(static_cast<uint32_t>(c)))
        return false;
    return !(key.modifier & MODIFIER_CONTROL) || (key.modifier & MODIFIER_ALTERNATE);
}

bool takesKey(const VstKeyCode& key) {
    if (typesCharacter(key))
        return true;
    switch (key.virt) {
        case VKEY_BACK:
        case VKEY_DELETE:
        case VKEY_LEFT:
        case VKEY_RIGHT:
        case VKEY_HOME:
        case VKEY_END:
        case VKEY_RETURN:
        case VKEY_ENTER:
        case VKEY_ESCAPE:
        case VKEY_SPACE:
            return true;
        default:
            return false;
    }
}

// GDI+'s strings hold one UTF-16 unit per WCHAR on every platform.
std::wstring toWide(const std::u16string& units) {
    return std::wstring(units.begin(), units.end());
}

}  // namespace

CTextEdit::CTextEdit(const CRect& size, std::shared_ptr<Gdiplus::FontFamily> family,
                     double fontSize)
    : CView(size), family(std::move(family)), fontSize(fontSize) {
    setWantsFocus(true);
}

CTextEdit::~CTextEdit() = default;

void CTextEdit::setText(const std::u16string& units) {
    text.clear();
    for (const char16_t unit : units) {
        if (text.size() == kMaxLength)
            break;
        if (!isSurrogate(unit))
            text.push_back(unit);
    }
    scroll = 0;
    changed();
    selectAll();
}

void CTextEdit::setSelection(std::size_t newAnchor, std::size_t newCaret) {
    anchor = std::min(newAnchor, text.size());
    caret = std::min(newCaret, text.size());
    invalid();
}

void CTextEdit::setRefused(bool value) {
    if (value == refused)
        return;
    refused = value;
    invalid();
}

void CTextEdit::changed() {
    layout.valid = false;
    refused = false;
    invalid();
}

void CTextEdit::replaceSelection(const std::u16string& units) {
    const std::size_t from = getSelectionStart();
    const std::size_t to = getSelectionEnd();
    if (from == to && units.empty())
        return;
    if (text.size() - (to - from) + units.size() > kMaxLength)
        return;
    text.replace(from, to - from, units);
    anchor = caret = from + units.size();
    changed();
}

void CTextEdit::moveCaret(std::size_t to, bool extend) {
    caret = std::min(to, text.size());
    if (!extend)
        anchor = caret;
    invalid();
}

void CTextEdit::report(const std::function<void()>& action) {
    if (!action)
        return;
    const std::function<void()> run = action;  // the action may replace the field's own
    remember();
    run();
    forget();
}

void CTextEdit::ensureLayout(double scale) {
    if (layout.valid && layout.scale == scale)
        return;
    if (!fontMade) {
        fontMade = true;
        if (family) {
            font = std::make_unique<Gdiplus::Font>(family.get(), real(fontSize),
                                                   Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
            if (!font->IsAvailable())
                font.reset();
        }
    }
    layout = Layout{};
    layout.valid = true;
    layout.scale = scale;
    layout.offsets.assign(text.size() + 1, 0.0);
    if (!font)
        return;
    // Measured at the drawing's scale: GDI+ fits glyphs to device pixels.
    Gdiplus::Bitmap bitmap(1, 1, PixelFormat32bppPARGB);
    Gdiplus::Graphics graphics(&bitmap);
    graphics.ScaleTransform(real(scale), real(scale));
    const auto box = [&](const std::wstring& units) {
        Gdiplus::RectF measured;
        graphics.MeasureString(units.c_str(), static_cast<INT>(units.size()), font.get(),
                               Gdiplus::RectF(0, 0, 0, 0), &measured);
        return measured;
    };
    // GDI+ pads a measured box on both sides and leaves out trailing spaces: a bar after each
    // prefix keeps its spaces, and the bar's own box taken away leaves the prefix's advance.
    const Gdiplus::RectF bar = box(L"|");
    layout.padding = (2.0 * bar.Width - box(L"||").Width) / 2;
    layout.lineHeight = bar.Height;
    std::wstring prefix;
    for (std::size_t i = 1; i <= text.size(); ++i) {
        prefix.assign(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(i));
        prefix.push_back(L'|');
        layout.offsets[i] = std::max(layout.offsets[i - 1], box(prefix).Width - double(bar.Width));
    }
}

CRect CTextEdit::outerRect() const {
    const double scale = layout.scale > 0 ? layout.scale : 1.0;
    const auto snap = [scale](double v) { return std::round(v * scale) / scale; };
    const CRect& size = getViewSize();
    return {snap(size.left), snap(size.top), snap(size.right), snap(size.bottom)};
}

CRect CTextEdit::innerRect() const {
    const double pixel = 1.0 / (layout.scale > 0 ? layout.scale : 1.0);
    CRect inner = outerRect();
    inner.left += pixel;
    inner.top += pixel;
    inner.right -= pixel;
    inner.bottom -= pixel;
    return inner;
}

double CTextEdit::textLeft() {
    const CRect inner = innerRect();
    const double room = std::max(0.0, inner.getWidth() - 2 * kMargin);
    const double width = layout.offsets.back();
    if (width <= room) {
        scroll = 0;
        return inner.left + (inner.getWidth() - width) / 2;
    }
    const double at = layout.offsets[caret];
    scroll = std::clamp(scroll, at - room, at);
    scroll = std::clamp(scroll, 0.0, width - room);
    return inner.left + kMargin - scroll;
}

std::size_t CTextEdit::unitAt(double x) {
    const CFrame* frame = getFrame();
    ensureLayout(frame ? frame->getScaleFactor() : (layout.scale > 0 ? layout.scale : 1.0));
    const double left = textLeft();
    std::size_t nearest = 0;
    for (std::size_t i = 1; i < layout.offsets.size(); ++i) {
        if (std::abs(left + layout.offsets[i] - x) < std::abs(left + layout.offsets[nearest] - x))
            nearest = i;
    }
    return nearest;
}

void CTextEdit::draw(CDrawContext* context) {
    auto* gdiplus = dynamic_cast<GdiplusDrawContext*>(context);
    Gdiplus::Graphics* graphics = gdiplus ? gdiplus->getGraphics() : nullptr;
    if (!graphics)
        return;
    const Gdiplus::GraphicsState state = graphics->Save();
    gdiplus->resetTransform();  // the display scale stays
    try {
        paint(*gdiplus);
    } catch (...) {
        // What was drawn stays; the rest of the frame still paints.
    }
    graphics->Restore(state);
    setDirty(false);
}

void CTextEdit::paint(GdiplusDrawContext& context) {
    Gdiplus::Graphics& graphics = *context.getGraphics();
    const double scale = context.getScaleFactor();
    ensureLayout(scale);
    const double pixel = 1.0 / scale;
    const auto snap = [scale](double v) { return std::round(v * scale) / scale; };
    // Whole device pixels, no antialiasing: the border, the selection and the caret stay sharp.
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeNone);
    const CRect inner = innerRect();
    context.fillRect(outerRect(), kBorderColor);
    context.fillRect(inner, kFieldColor);
    if (!font)
        return;
    context.setClipRect(inner);
    const double left = textLeft();
    const double middle = (inner.top + inner.bottom) / 2;
    const double top = snap(std::max(inner.top + pixel, middle - layout.lineHeight / 2));
    const double bottom = snap(std::min(inner.bottom - pixel, middle + layout.lineHeight / 2));
    if (anchor != caret) {
        context.fillRect(CRect(snap(left + layout.offsets[getSelectionStart()]), top,
                               snap(left + layout.offsets[getSelectionEnd()]), bottom),
                         kSelectionColor);
    }
    Gdiplus::StringFormat format(0, 0);
    format.SetAlignment(Gdiplus::StringAlignmentNear);
    format.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    const CColor& color = refused ? kRefusedColor : kTextColor;
    Gdiplus::SolidBrush brush(Gdiplus::Color(color.alpha, color.red, color.green, color.blue));
    const std::wstring units = toWide(text);
    // An empty layout rectangle: the text starts at the point and is centred on it vertically.
    graphics.DrawString(units.c_str(), static_cast<INT>(units.size()), font.get(),
                        Gdiplus::RectF(real(left - layout.padding), real(middle), 0, 0), &format,
                        &brush);
    const double x = snap(left + layout.offsets[caret]);
    context.fillRect(CRect(x, top, x + pixel, bottom), kTextColor);
}

CMouseEventResult CTextEdit::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton())
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    if (buttons.isDoubleClick()) {
        selectAll();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    moveCaret(unitAt(where.x), (buttons & kShift) != 0);
    return kMouseEventHandled;
}

CMouseEventResult CTextEdit::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (buttons.isLeftButton())
        moveCaret(unitAt(where.x), true);
    return kMouseEventHandled;
}

CMouseEventResult CTextEdit::onMouseUp(CPoint&, const CButtonState&) {
    return kMouseEventHandled;
}

int32_t CTextEdit::onKeyDown(VstKeyCode& key) {
    if (typesCharacter(key)) {
        replaceSelection(std::u16string(1, static_cast<char16_t>(key.character)));
        return 1;
    }
    const bool extend = (key.modifier & MODIFIER_SHIFT) != 0;
    const bool selected = anchor != caret;
    switch (key.virt) {
        case VKEY_BACK:
            if (!selected && caret > 0)
                anchor = caret - 1;
            replaceSelection({});
            return 1;
        case VKEY_DELETE:
            if (!selected && caret < text.size())
                anchor = caret + 1;
            replaceSelection({});
            return 1;
        case VKEY_LEFT:
            // Without Shift a selection collapses to its side.
            moveCaret(selected && !extend ? getSelectionStart() : (caret > 0 ? caret - 1 : 0),
                      extend);
            return 1;
        case VKEY_RIGHT:
            moveCaret(selected && !extend ? getSelectionEnd() : caret + 1, extend);
            return 1;
        case VKEY_HOME:
            moveCaret(0, extend);
            return 1;
        case VKEY_END:
            moveCaret(text.size(), extend);
            return 1;
        case VKEY_RETURN:
        case VKEY_ENTER:
            report(onEnter);
            return 1;
        case VKEY_ESCAPE:
            report(onEscape);
            return 1;
        case VKEY_SPACE:
            return 1;  // the space itself comes as a character
        default:
            return -1;
    }
}

int32_t CTextEdit::onKeyUp(VstKeyCode& key) {
    return takesKey(key) ? 1 : -1;
}

void CTextEdit::looseFocus() {
    report(onFocusLost);
}

}  // namespace VSTGUI
