#include "text_entry.h"

#include "win32_frame.h"
#include "text.h"

namespace corvane::vst {
namespace {

const COLORREF kFieldColor = RGB(32, 34, 40);
const COLORREF kTextColor = RGB(236, 238, 242);
const COLORREF kRefusedColor = RGB(255, 96, 88);

}  // namespace

bool TextEntry::open(HWND parent, const RECT& where, int fontHeight, const std::string& text,
                     Accept onAccept) {
    close();
    std::wstring wide;
    try {
        const TString units = utf8ToUtf16(text);
        wide.assign(units.begin(), units.end());
    } catch (...) {
        // Not UTF-8: the field opens empty.
    }
    window = CreateWindowExW(0, L"EDIT", wide.c_str(),
                             WS_CHILD | WS_VISIBLE | WS_BORDER | ES_CENTER | ES_AUTOHSCROLL,
                             where.left, where.top, where.right - where.left,
                             where.bottom - where.top, parent, nullptr, nullptr, nullptr);
    if (!window)
        return false;
    accept = std::move(onAccept);
    refused = false;
    font = CreateFontW(-fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, L"Tahoma");
    background = CreateSolidBrush(kFieldColor);
    if (font)
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    originalProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&fieldProc)));
    SendMessageW(window, EM_SETSEL, 0, -1);
    SetFocus(window);
    return true;
}

void TextEntry::close() {
    // Forgotten before it goes: destroying the focused field makes it lose the focus, which
    // must not close it a second time.
    const HWND field = window;
    window = nullptr;
    if (field) {
        const HWND parent = GetParent(field);
        if (GetFocus() == field && parent)
            SetFocus(parent);
        SetWindowLongPtrW(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalProc));
        SetWindowLongPtrW(field, GWLP_USERDATA, 0);
        DestroyWindow(field);
    }
    if (font)
        DeleteObject(font);
    if (background)
        DeleteObject(background);
    font = nullptr;
    background = nullptr;
    accept = nullptr;
}

std::string TextEntry::getText() const {
    if (!window)
        return {};
    std::wstring wide(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    wide.resize(static_cast<std::size_t>(GetWindowTextW(window, wide.data(), int(wide.size()))));
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), size, nullptr,
                            nullptr);
    return utf8;
}

void TextEntry::enter() {
    if (!window)
        return;
    // `accept` may close this field (or reopen it): keep what is needed.
    const Accept check = accept;
    if (check && check(getText())) {
        close();
        return;
    }
    if (!window)
        return;
    refused = true;
    SendMessageW(window, EM_SETSEL, 0, -1);
    InvalidateRect(window, nullptr, TRUE);
    MessageBeep(MB_ICONWARNING);
}

LRESULT CALLBACK TextEntry::fieldProc(HWND field, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* entry = reinterpret_cast<TextEntry*>(GetWindowLongPtrW(field, GWLP_USERDATA));
    if (!entry || entry->window != field)
        return DefWindowProcW(field, message, wParam, lParam);
    const WNDPROC original = entry->originalProc;
    try {
        switch (message) {
            case WM_GETDLGCODE:
                return DLGC_WANTALLKEYS | CallWindowProcW(original, field, message, wParam, lParam);
            case WM_KEYDOWN:
                if (wParam == VK_RETURN) {
                    entry->enter();
                    return 0;
                }
                if (wParam == VK_ESCAPE) {
                    entry->escape();
                    return 0;
                }
                break;
            case WM_CHAR:
                if (wParam == '\r' || wParam == 0x1B)
                    return 0;  // handled as keys; no beep
                if (entry->refused) {
                    entry->refused = false;  // being corrected
                    InvalidateRect(field, nullptr, TRUE);
                }
                break;
            case WM_KILLFOCUS:
                entry->close();
                return 0;
            case VSTGUI::Win32::kReflectedColorMessage: {
                const auto dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, entry->refused ? kRefusedColor : kTextColor);
                SetBkColor(dc, kFieldColor);
                return reinterpret_cast<LRESULT>(entry->background);
            }
            default:
                break;
        }
    } catch (...) {
        return 0;  // nothing may unwind into the window manager
    }
    return CallWindowProcW(original, field, message, wParam, lParam);
}

}  // namespace corvane::vst
