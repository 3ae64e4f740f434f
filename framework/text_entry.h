// A one-line edit field over an area of a frame, for typing a value in place: it opens holding a
// text, all of it selected and with the frame's focus. Enter offers the text to `accept`: when
// it takes the text the field closes, else the field stays open, its text in the refused colour
// and selected, to be corrected, and the platform beeps. Escape, or the focus going elsewhere
// (another view takes it, a click anywhere else, the window loses the keyboard), closes it
// without a word. The field is the toolkit's own (VSTGUI::CTextEdit), so it works the same on
// every platform and in a frame without a window. User-interface thread only.
#pragma once

#include "gdiplus_api.h"

#include <functional>
#include <memory>
#include <string>

#include "frame.h"
#include "text_edit.h"

namespace corvane::vst {

class TextEntry {
  public:
    // True when the typed text (UTF-8) was taken.
    using Accept = std::function<bool(const std::string& text)>;

    TextEntry() = default;
    TextEntry(const TextEntry&) = delete;
    TextEntry& operator=(const TextEntry&) = delete;
    ~TextEntry() { close(); }

    // Puts the field into `frame` over `where` (frame coordinates) and gives it the focus.
    // `text`: UTF-8 (a text that is not, or holds characters beyond U+FFFF, opens empty);
    // `family`: the font, null for none (then no text shows); `fontSize`: its em height in the
    // frame's units. False for an empty rectangle; one already open is closed first.
    bool open(VSTGUI::CFrame& frame, const VSTGUI::CRect& where,
              std::shared_ptr<Gdiplus::FontFamily> family, double fontSize, const std::string& text,
              Accept accept);
    // Removes the field. If it had the focus, the view that had it before gets it back.
    void close();

    // False too once the frame has let go of the field (it was closed or emptied).
    bool isOpen() const { return field && field->getFrame(); }
    bool isRefused() const { return field && field->isRefused(); }
    // The field itself while open, for looking at it; null otherwise.
    VSTGUI::CTextEdit* getField() const { return field; }
    // The text typed (UTF-8); empty when closed.
    std::string getText() const;

    // Enter and Escape, as the field's own keys do.
    void enter();
    void escape() { close(); }

  private:
    VSTGUI::CTextEdit* field = nullptr;      // one reference of ours
    VSTGUI::CView* previousFocus = nullptr;  // one reference of ours
    Accept accept;
};

}  // namespace corvane::vst
