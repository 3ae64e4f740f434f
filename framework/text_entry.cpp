#include "text_entry.h"

#include <stdexcept>

#include "text.h"

namespace corvane::vst {

bool TextEntry::open(VSTGUI::CFrame& frame, const VSTGUI::CRect& where,
                     std::shared_ptr<Gdiplus::FontFamily> family, double fontSize,
                     const std::string& text, Accept onAccept) {
    close();
    if (where.isEmpty())
        return false;
    std::u16string units;
    try {
        const TString converted = utf8ToUtf16(text);
        units.assign(converted.begin(), converted.end());
    } catch (const std::range_error&) {
        // Not UTF-8: the field opens empty.
    }
    auto* made = new VSTGUI::CTextEdit(where, std::move(family), fontSize);
    made->setText(units);
    made->setOnEnter([this] { enter(); });
    made->setOnEscape([this] { escape(); });
    made->setOnFocusLost([this] { close(); });
    made->remember();  // the creator's reference goes to the frame
    field = made;
    accept = std::move(onAccept);
    previousFocus = frame.getFocusView();
    if (previousFocus)
        previousFocus->remember();
    frame.addView(made);
    frame.setFocusView(made);
    return true;
}

void TextEntry::close() {
    // Forgotten before it goes: giving the focus back tells the field it lost the focus, which
    // must not close it a second time.
    VSTGUI::CTextEdit* closing = field;
    VSTGUI::CView* previous = previousFocus;
    field = nullptr;
    previousFocus = nullptr;
    accept = nullptr;
    if (closing) {
        closing->setOnEnter(nullptr);
        closing->setOnEscape(nullptr);
        closing->setOnFocusLost(nullptr);
        if (VSTGUI::CFrame* frame = closing->getFrame()) {
            if (frame->getFocusView() == closing && previous && previous->getFrame() == frame)
                frame->setFocusView(previous);
            frame->removeView(closing);
        }
        closing->forget();
    }
    if (previous)
        previous->forget();
}

std::string TextEntry::getText() const {
    if (!field)
        return {};
    const std::u16string& units = field->getText();
    return utf16ToUtf8(TString(units.begin(), units.end()));
}

void TextEntry::enter() {
    if (!isOpen())
        return;
    // `accept` may close this field, or open another: keep what is needed.
    VSTGUI::CTextEdit* current = field;
    current->remember();
    const Accept check = accept;
    bool taken = false;
    try {
        taken = check && check(getText());
    } catch (...) {
        // A check that fails takes nothing.
    }
    if (field == current) {
        if (taken) {
            close();
        } else {
            current->setRefused(true);
            current->selectAll();
            if (VSTGUI::CFrame* frame = current->getFrame(); frame && frame->getPlatformFrame())
                frame->getPlatformFrame()->beep();
        }
    }
    current->forget();
}

}  // namespace corvane::vst
