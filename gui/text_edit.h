// A one-line text field drawn by the toolkit itself, so that it looks and types the same on every
// platform: the text centred (scrolled to the caret when it does not fit), a selection, a
// 1-pixel caret and border. It takes the focus on a click and gives it up on a click anywhere
// outside it. The text is UTF-16 units, characters up to U+FFFF (surrogates are not typed).
// Portable: it draws only through the GDI+ API.
#pragma once

#include "gdiplus_api.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "view.h"

namespace VSTGUI {

class GdiplusDrawContext;

class CTextEdit : public CView {
  public:
    // Longer texts are not typed: the width of each prefix is measured at every change.
    static constexpr std::size_t kMaxLength = 256;

    static constexpr CColor kFieldColor{32, 34, 40};
    static constexpr CColor kTextColor{236, 238, 242};
    static constexpr CColor kRefusedColor{255, 96, 88};
    static constexpr CColor kBorderColor{112, 118, 130};
    static constexpr CColor kSelectionColor{58, 96, 156};

    // family: may be null (then no text is drawn); a family from a private collection needs the
    // collection for as long as the field lives. fontSize: em height in the frame's units.
    CTextEdit(const CRect& size, std::shared_ptr<Gdiplus::FontFamily> family, double fontSize);
    ~CTextEdit() override;

    // Replaces the text (cut to kMaxLength units, surrogates dropped), all of it selected.
    void setText(const std::u16string& units);
    const std::u16string& getText() const { return text; }

    // The caret is at `caret`, the selection runs from `anchor` to it; both are cut to the text.
    void setSelection(std::size_t anchor, std::size_t caret);
    void selectAll() { setSelection(0, text.size()); }
    std::size_t getCaret() const { return caret; }
    std::size_t getSelectionStart() const { return std::min(anchor, caret); }
    std::size_t getSelectionEnd() const { return std::max(anchor, caret); }

    // Refused text is drawn in the refused colour until it is edited.
    void setRefused(bool value);
    bool isRefused() const { return refused; }

    // What the user asks for. The actions may remove the field from its frame; they run last in
    // the event that triggers them.
    void setOnEnter(std::function<void()> action) { onEnter = std::move(action); }
    void setOnEscape(std::function<void()> action) { onEscape = std::move(action); }
    void setOnFocusLost(std::function<void()> action) { onFocusLost = std::move(action); }

    void draw(CDrawContext* context) override;

    // A left click places the caret (Shift extends the selection, a drag selects, a double
    // click selects all); clicks with other buttons are taken and do nothing.
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    // Printable characters (`character` >= 0x20, not 0x7F, not with Control alone) replace the
    // selection; Backspace, Delete, Left, Right, Home, End (Shift extends the selection with the
    // last four), Enter (either), Escape. Every key it takes answers 1, its release too.
    int32_t onKeyDown(VstKeyCode& key) override;
    int32_t onKeyUp(VstKeyCode& key) override;
    void looseFocus() override;
    bool wantsFocusLossOnClickOutside() const override { return true; }

  private:
    // The measured text: where each unit boundary lies from the text's start, in the frame's
    // units; measured again when the text or the display scale changes.
    struct Layout {
        bool valid = false;
        double scale = 0;
        std::vector<double> offsets;  // text.size() + 1 of them
        double padding = 0;           // what GDI+ puts before the first glyph
        double lineHeight = 0;
    };

    void paint(GdiplusDrawContext& context);
    void ensureLayout(double scale);
    // The field on whole device pixels at the layout's scale, and inside its border.
    CRect outerRect() const;
    CRect innerRect() const;
    // Where unit 0 starts, scrolled so that the caret stays inside the field.
    double textLeft();
    // The unit boundary nearest to x.
    std::size_t unitAt(double x);
    void replaceSelection(const std::u16string& units);
    void moveCaret(std::size_t to, bool extend);
    void changed();
    // Runs an action that may release this field: it is kept alive until the action returns.
    void report(const std::function<void()>& action);

    std::shared_ptr<Gdiplus::FontFamily> family;
    double fontSize;
    std::unique_ptr<Gdiplus::Font> font;
    bool fontMade = false;
    std::u16string text;
    std::size_t anchor = 0;
    std::size_t caret = 0;
    double scroll = 0;
    bool refused = false;
    Layout layout;
    std::function<void()> onEnter;
    std::function<void()> onEscape;
    std::function<void()> onFocusLost;
};

}  // namespace VSTGUI
