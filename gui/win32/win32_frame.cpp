// The Win32 back end: the frame's child window, painted through a 32-bit back buffer with GDI+,
// with the mouse captured during drags. Windows only.
#include "win32_frame.h"

#include <windowsx.h>

#include <string>

#include "draw_context.h"
#include "frame.h"

namespace VSTGUI {
namespace {

// Shift, Control and Alt as the keyboard holds them now.
int32_t heldModifiers() {
    int32_t state = 0;
    if (GetKeyState(VK_SHIFT) < 0)
        state |= kShift;
    if (GetKeyState(VK_CONTROL) < 0)
        state |= kControl;
    if (GetKeyState(VK_MENU) < 0)
        state |= kAlt;
    return state;
}

HINSTANCE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

// One class per loaded module: two copies of the module in one process must not share it.
const std::wstring& windowClassName() {
    static const std::wstring name =
        L"CorvaneFrame" + std::to_wstring(reinterpret_cast<uintptr_t>(thisModule()));
    return name;
}

bool classRegistered = false;

// Shift and Control as the mouse message says, Alt as the keyboard holds it.
int32_t mouseModifiers(WPARAM wParam) {
    int32_t state = heldModifiers() & kAlt;
    if (wParam & MK_SHIFT)
        state |= kShift;
    if (wParam & MK_CONTROL)
        state |= kControl;
    return state;
}

int32_t heldButtons(WPARAM wParam) {
    int32_t state = 0;
    if (wParam & MK_LBUTTON)
        state |= kLButton;
    if (wParam & MK_MBUTTON)
        state |= kMButton;
    if (wParam & MK_RBUTTON)
        state |= kRButton;
    return state;
}

int32_t virtualKey(WPARAM key) {
    switch (key) {
        case VK_BACK:
            return VKEY_BACK;
        case VK_TAB:
            return VKEY_TAB;
        case VK_RETURN:
            return VKEY_RETURN;
        case VK_ESCAPE:
            return VKEY_ESCAPE;
        case VK_SPACE:
            return VKEY_SPACE;
        case VK_END:
            return VKEY_END;
        case VK_HOME:
            return VKEY_HOME;
        case VK_LEFT:
            return VKEY_LEFT;
        case VK_UP:
            return VKEY_UP;
        case VK_RIGHT:
            return VKEY_RIGHT;
        case VK_DOWN:
            return VKEY_DOWN;
        case VK_PRIOR:
            return VKEY_PAGEUP;
        case VK_NEXT:
            return VKEY_PAGEDOWN;
        case VK_DELETE:
            return VKEY_DELETE;
        default:
            return 0;
    }
}

class Win32Frame : public IPlatformFrame {
  public:
    explicit Win32Frame(CFrame& frame) : frame(frame) {}
    ~Win32Frame() override;

    bool create(HWND parent);

    void* getHandle() const override { return window; }
    void setSize(int32_t width, int32_t height) override;
    void invalidPixels(const PixelRect& rect) override;
    bool getMouseLocation(int32_t& x, int32_t& y) const override;
    int32_t getModifiers() const override { return heldModifiers(); }
    void beep() override { MessageBeep(MB_ICONWARNING); }

  private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void paint();

    CFrame& frame;
    HWND window = nullptr;
};

}  // namespace

namespace Win32 {

void unregisterWindowClass() {
    if (classRegistered && UnregisterClassW(windowClassName().c_str(), thisModule()))
        classRegistered = false;
}

}  // namespace Win32

std::unique_ptr<IPlatformFrame> makePlatformFrame(CFrame& frame, void* parent, PlatformType type) {
    if (type != kHWND && type != kDefaultNative)
        return nullptr;
    auto made = std::make_unique<Win32Frame>(frame);
    if (!made->create(static_cast<HWND>(parent)))
        return nullptr;
    return made;
}

namespace {

Win32Frame::~Win32Frame() {
    if (window) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
    }
}

bool Win32Frame::create(HWND parent) {
    const HINSTANCE module = thisModule();
    if (!classRegistered) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = module;
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.lpszClassName = windowClassName().c_str();
        if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return false;
        classRegistered = true;
    }
    const CRect& size = frame.getViewSize();
    window = CreateWindowExW(0, windowClassName().c_str(), L"",
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                             static_cast<int>(size.left), static_cast<int>(size.top),
                             frame.getPixelWidth(), frame.getPixelHeight(), parent, nullptr,
                             module, this);
    return window != nullptr;
}

void Win32Frame::setSize(int32_t width, int32_t height) {
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Frame::invalidPixels(const PixelRect& rect) {
    const RECT pixels{rect.left, rect.top, rect.right, rect.bottom};
    InvalidateRect(window, &pixels, FALSE);
}

bool Win32Frame::getMouseLocation(int32_t& x, int32_t& y) const {
    POINT point;
    if (!GetCursorPos(&point) || !ScreenToClient(window, &point))
        return false;
    x = point.x;
    y = point.y;
    return true;
}

void Win32Frame::paint() {
    PAINTSTRUCT paint;
    const HDC windowDc = BeginPaint(window, &paint);
    if (!windowDc)
        return;
    const RECT& dirty = paint.rcPaint;
    const int width = frame.getPixelWidth();
    const int height = frame.getPixelHeight();
    // The back buffer: a 32-bit top-down DIB, whatever the depth of the display.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC bufferDc = CreateCompatibleDC(windowDc);
    const HBITMAP buffer =
        bufferDc ? CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (buffer) {
        const HGDIOBJ previous = SelectObject(bufferDc, buffer);
        {
            GdiplusDrawContext context(bufferDc, CRect(0, 0, width, height), frame.getScaleFactor());
            const CPoint from = frame.fromPixels(dirty.left, dirty.top);
            const CPoint to = frame.fromPixels(dirty.right, dirty.bottom);
            frame.drawRect(&context, CRect(from.x, from.y, to.x, to.y));
        }
        BitBlt(windowDc, dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top,
               bufferDc, dirty.left, dirty.top, SRCCOPY);
        SelectObject(bufferDc, previous);
        DeleteObject(buffer);
    }
    if (bufferDc)
        DeleteDC(bufferDc);
    EndPaint(window, &paint);
}

LRESULT CALLBACK Win32Frame::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* backEnd = reinterpret_cast<Win32Frame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (backEnd && backEnd->window == window) {
        // Nothing may unwind into the window manager.
        try {
            return backEnd->handleMessage(message, wParam, lParam);
        } catch (...) {
            return 0;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Win32Frame::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the painting covers everything
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_KILLFOCUS:
            frame.onWindowFocusLost();
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_MBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK: {
            int32_t button = kLButton;
            if (message == WM_MBUTTONDOWN || message == WM_MBUTTONDBLCLK)
                button = kMButton;
            else if (message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK)
                button = kRButton;
            const bool doubleClick = message == WM_LBUTTONDBLCLK || message == WM_MBUTTONDBLCLK ||
                                     message == WM_RBUTTONDBLCLK;
            CPoint where = frame.fromPixels(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            SetFocus(window);
            const CButtonState buttons(button | mouseModifiers(wParam) |
                                       (doubleClick ? kDoubleClick : 0));
            if (frame.onMouseDown(where, buttons) == kMouseEventHandled && frame.isDragging())
                SetCapture(window);
            return 0;
        }
        case WM_MOUSEMOVE: {
            CPoint where = frame.fromPixels(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            frame.onMouseMoved(where, CButtonState(heldButtons(wParam) | mouseModifiers(wParam)));
            return 0;
        }
        case WM_LBUTTONUP:
        case WM_MBUTTONUP:
        case WM_RBUTTONUP: {
            const int32_t button = message == WM_LBUTTONUP   ? kLButton
                                   : message == WM_MBUTTONUP ? kMButton
                                                             : kRButton;
            CPoint where = frame.fromPixels(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            frame.onMouseUp(where, CButtonState(button | mouseModifiers(wParam)));
            if (GetCapture() == window)
                ReleaseCapture();
            return 0;
        }
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != window)
                frame.onMouseCancel();
            return 0;
        case WM_MOUSEWHEEL: {
            POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScreenToClient(window, &point);
            const float distance = static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA;
            const WPARAM keys = GET_KEYSTATE_WPARAM(wParam);
            frame.onWheel(frame.fromPixels(point.x, point.y), distance,
                    CButtonState(heldButtons(keys) | mouseModifiers(keys)));
            return 0;
        }
        case WM_KEYDOWN:
        case WM_KEYUP: {
            VstKeyCode key;
            key.virt = virtualKey(wParam);
            // The keypad's Enter is Return with the extended-key flag.
            if (key.virt == VKEY_RETURN && (lParam & (1 << 24)))
                key.virt = VKEY_ENTER;
            key.modifier = keyModifiersOf(heldModifiers());
            if (key.virt == 0)
                break;
            const int32_t handled = message == WM_KEYDOWN ? frame.onKeyDown(key) : frame.onKeyUp(key);
            if (handled == 1)
                return 0;
            break;
        }
        case WM_CHAR: {
            // Backspace, Tab, Enter, Escape and Control+letter arrive as keys (WM_KEYDOWN);
            // their characters are not typed.
            if (wParam < 0x20 || wParam == 0x7F)
                break;
            VstKeyCode key;
            key.character = static_cast<int32_t>(wParam);
            key.modifier = keyModifiersOf(heldModifiers());
            if (frame.onKeyDown(key) == 1)
                return 0;
            break;
        }
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace
}  // namespace VSTGUI
