// A one-line edit field over part of a window, for typing a value in place: it opens holding a
// text, all of it selected and with the keyboard focus. Enter offers the text to `accept`: when
// it takes the text the field closes, else the field stays open, its text in the refused colour
// and selected, to be corrected. Escape, or the focus going elsewhere (a click anywhere else),
// closes it without a word. Windows only; user-interface thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace corvane::vst {

class TextEntry {
  public:
    // True when the typed text (UTF-8) was taken.
    using Accept = std::function<bool(const std::string& text)>;

    TextEntry() = default;
    TextEntry(const TextEntry&) = delete;
    TextEntry& operator=(const TextEntry&) = delete;
    ~TextEntry() { close(); }

    // `where`: pixels of `parent`, which must pass WM_CTLCOLOREDIT on to the field as
    // kReflectedColorMessage (the toolkit's frame does). `fontHeight`: pixels. False when no field
    // could be made; one already open is closed first.
    bool open(HWND parent, const RECT& where, int fontHeight, const std::string& text,
              Accept accept);
    void close();

    bool isOpen() const { return window != nullptr; }
    bool isRefused() const { return refused; }
    HWND getWindow() const { return window; }
    std::string getText() const;

    // Enter and Escape, as the field's own keys do.
    void enter();
    void escape() { close(); }

  private:
    static LRESULT CALLBACK fieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window = nullptr;
    WNDPROC originalProc = nullptr;
    HFONT font = nullptr;
    HBRUSH background = nullptr;
    Accept accept;
    bool refused = false;
};

}  // namespace corvane::vst
