#include "frame.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "control.h"
#include "draw_context.h"

namespace VSTGUI {
namespace {

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
    int32_t state = CFrame::heldModifiers() & kAlt;
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

uint8_t keyModifiers() {
    const int32_t held = CFrame::heldModifiers();
    return static_cast<uint8_t>(((held & kShift) ? MODIFIER_SHIFT : 0) |
                                ((held & kAlt) ? MODIFIER_ALTERNATE : 0) |
                                ((held & kControl) ? MODIFIER_CONTROL : 0));
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
        default:
            return 0;
    }
}

}  // namespace

CFrame::CFrame(const CRect& size, VSTGUIEditorInterface* editor) : CView(size), editor(editor) {}

CFrame::~CFrame() {
    if (window) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
        window = nullptr;
    }
    removeAll();
}

bool CFrame::open(void* parent, PlatformType type) {
    if (window || !parent || (type != kHWND && type != kDefaultNative))
        return false;
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
    const CRect& size = getViewSize();
    window = CreateWindowExW(0, windowClassName().c_str(), L"",
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                             static_cast<int>(size.left), static_cast<int>(size.top), pixelWidth(),
                             pixelHeight(), static_cast<HWND>(parent), nullptr, module, this);
    return window != nullptr;
}

void CFrame::close() {
    if (window) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
        window = nullptr;
    }
    removeAll();
    forget();
}

int32_t CFrame::heldModifiers() {
    int32_t state = 0;
    if (GetKeyState(VK_SHIFT) < 0)
        state |= kShift;
    if (GetKeyState(VK_CONTROL) < 0)
        state |= kControl;
    if (GetKeyState(VK_MENU) < 0)
        state |= kAlt;
    return state;
}

void CFrame::unregisterWindowClass() {
    if (classRegistered && UnregisterClassW(windowClassName().c_str(), thisModule()))
        classRegistered = false;
}

bool CFrame::addView(CView* view) {
    if (!view || std::find(views.begin(), views.end(), view) != views.end())
        return false;
    views.push_back(view);
    view->attached(this);
    view->invalid();
    return true;
}

bool CFrame::removeView(CView* view) {
    const auto found = std::find(views.begin(), views.end(), view);
    if (found == views.end())
        return false;
    views.erase(found);
    view->invalid();
    forgetView(view);
    return true;
}

void CFrame::removeAll() {
    while (!views.empty()) {
        CView* view = views.back();
        views.pop_back();
        forgetView(view);
    }
}

void CFrame::forgetView(CView* view) {
    if (mouseDownView == view)
        mouseDownView = nullptr;
    if (focusView == view)
        focusView = nullptr;
    view->removed();
    view->forget();
}

CView* CFrame::getView(int32_t index) const {
    if (index < 0 || index >= getNbViews())
        return nullptr;
    return views[static_cast<size_t>(index)];
}

CView* CFrame::getViewAt(const CPoint& where) const {
    return topmostAt(where, false);
}

CView* CFrame::topmostAt(const CPoint& where, bool mouseEnabledOnly) const {
    for (auto view = views.rbegin(); view != views.rend(); ++view) {
        if ((!mouseEnabledOnly || (*view)->getMouseEnabled()) && (*view)->hitTest(where))
            return *view;
    }
    return nullptr;
}

void CFrame::setBackgroundColor(const CColor& color) {
    if (color == backgroundColor)
        return;
    backgroundColor = color;
    invalid();
}

int32_t CFrame::getKnobMode() const {
    const int32_t mode = editor ? editor->getKnobMode() : -1;
    return mode == -1 ? kCircularMode : mode;
}

bool CFrame::getCurrentMouseLocation(CPoint& where) const {
    POINT point;
    if (!window || !GetCursorPos(&point) || !ScreenToClient(window, &point))
        return false;
    where = fromPixels(point.x, point.y);
    return true;
}

bool CFrame::setScaleFactor(double factor) {
    if (!(factor >= 0.5 && factor <= 4.0))
        return false;
    if (factor == scaleFactor)
        return true;
    if (mouseDownView)
        onMouseCancel();  // a drag measured at the old scale ends here
    scaleFactor = factor;
    if (window) {
        SetWindowPos(window, nullptr, 0, 0, pixelWidth(), pixelHeight(),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    invalid();
    return true;
}

int CFrame::pixelWidth() const {
    return static_cast<int>(std::lround(getViewSize().getWidth() * scaleFactor));
}

int CFrame::pixelHeight() const {
    return static_cast<int>(std::lround(getViewSize().getHeight() * scaleFactor));
}

RECT CFrame::toPixels(const CRect& rect) const {
    return {static_cast<LONG>(std::floor(rect.left * scaleFactor)),
            static_cast<LONG>(std::floor(rect.top * scaleFactor)),
            static_cast<LONG>(std::ceil(rect.right * scaleFactor)),
            static_cast<LONG>(std::ceil(rect.bottom * scaleFactor))};
}

CPoint CFrame::fromPixels(LONG x, LONG y) const {
    return {static_cast<CCoord>(x) / scaleFactor, static_cast<CCoord>(y) / scaleFactor};
}

void CFrame::idle() {
    for (CView* view : views) {
        if (view->isDirty())
            view->invalid();
    }
}

void CFrame::invalid() {
    invalidRect(getViewSize());
}

void CFrame::invalidRect(const CRect& rect) {
    CRect area = rect;
    area.bound(getViewSize());
    if (area.isEmpty())
        return;
    invalidArea.unite(area);
    if (window) {
        const RECT pixels = toPixels(area);
        InvalidateRect(window, &pixels, FALSE);
    }
}

void CFrame::drawRect(CDrawContext* context, const CRect& updateRect) {
    CRect area = updateRect;
    area.bound(getViewSize());
    if (!context || area.isEmpty())
        return;
    context->setClipRect(area);
    context->fillRect(area, backgroundColor);
    // Views may draw beyond their rectangles (glows, shadows, letter-spaced text): only the
    // update area clips them.
    for (CView* view : views) {
        if (view->getViewSize().rectOverlap(area))
            view->draw(context);
    }
    CRect remaining = invalidArea;
    if (remaining.unite(area) == area)
        invalidArea = CRect();  // all of it has been drawn now
}

void CFrame::draw(CDrawContext* context) {
    drawRect(context, getViewSize());
    setDirty(false);
}

void CFrame::setFocusView(CView* view) {
    if (view && std::find(views.begin(), views.end(), view) == views.end())
        return;
    focusView = view;
}

CMouseEventResult CFrame::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (mouseDownView)
        onMouseCancel();
    CView* view = topmostAt(where, true);
    if (!view)
        return kMouseEventNotHandled;
    if (auto* control = dynamic_cast<CControl*>(view); control && control->getListener()) {
        if (control->getListener()->controlModifierClicked(control, buttons) != 0)
            return kMouseEventHandled;
    }
    if (view->getWantsFocus())
        setFocusView(view);
    const CMouseEventResult result = view->onMouseDown(where, buttons);
    if (result == kMouseEventHandled)
        mouseDownView = view;
    return result;
}

CMouseEventResult CFrame::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!mouseDownView)
        return kMouseEventNotHandled;
    return mouseDownView->onMouseMoved(where, buttons);
}

CMouseEventResult CFrame::onMouseUp(CPoint& where, const CButtonState& buttons) {
    CView* view = mouseDownView;
    mouseDownView = nullptr;
    if (!view)
        return kMouseEventNotHandled;
    return view->onMouseUp(where, buttons);
}

CMouseEventResult CFrame::onMouseCancel() {
    CView* view = mouseDownView;
    mouseDownView = nullptr;
    if (!view)
        return kMouseEventNotHandled;
    return view->onMouseCancel();
}

bool CFrame::onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) {
    CView* view = topmostAt(where, true);
    return view && view->onWheel(where, distance, buttons);
}

int32_t CFrame::onKeyDown(VstKeyCode& key) {
    const int32_t taken = focusView ? focusView->onKeyDown(key) : -1;
    if (taken != 1 && keyHook)
        return keyHook(key);
    return taken;
}

int32_t CFrame::onKeyUp(VstKeyCode& key) {
    return focusView ? focusView->onKeyUp(key) : -1;
}

void CFrame::paint() {
    PAINTSTRUCT paint;
    const HDC windowDc = BeginPaint(window, &paint);
    if (!windowDc)
        return;
    const RECT& dirty = paint.rcPaint;
    const int width = pixelWidth();
    const int height = pixelHeight();
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
            GdiplusDrawContext context(bufferDc, CRect(0, 0, width, height), scaleFactor);
            const CPoint from = fromPixels(dirty.left, dirty.top);
            const CPoint to = fromPixels(dirty.right, dirty.bottom);
            drawRect(&context, CRect(from.x, from.y, to.x, to.y));
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

LRESULT CALLBACK CFrame::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* frame = reinterpret_cast<CFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (frame && frame->window == window) {
        // Nothing may unwind into the window manager.
        try {
            return frame->handleMessage(message, wParam, lParam);
        } catch (...) {
            return 0;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CFrame::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the painting covers everything
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_CTLCOLOREDIT:
            if (const LRESULT brush = SendMessageW(reinterpret_cast<HWND>(lParam),
                                                   kReflectedColorMessage, wParam, lParam))
                return brush;
            break;
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
            CPoint where = fromPixels(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            SetFocus(window);
            const CButtonState buttons(button | mouseModifiers(wParam) |
                                       (doubleClick ? kDoubleClick : 0));
            if (onMouseDown(where, buttons) == kMouseEventHandled && mouseDownView)
                SetCapture(window);
            return 0;
        }
        case WM_MOUSEMOVE: {
            CPoint where = fromPixels(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            onMouseMoved(where, CButtonState(heldButtons(wParam) | mouseModifiers(wParam)));
            return 0;
        }
        case WM_LBUTTONUP:
        case WM_MBUTTONUP:
        case WM_RBUTTONUP: {
            const int32_t button = message == WM_LBUTTONUP   ? kLButton
                                   : message == WM_MBUTTONUP ? kMButton
                                                             : kRButton;
            CPoint where = fromPixels(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            onMouseUp(where, CButtonState(button | mouseModifiers(wParam)));
            if (GetCapture() == window)
                ReleaseCapture();
            return 0;
        }
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != window)
                onMouseCancel();
            return 0;
        case WM_MOUSEWHEEL: {
            POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScreenToClient(window, &point);
            const float distance = static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA;
            const WPARAM keys = GET_KEYSTATE_WPARAM(wParam);
            onWheel(fromPixels(point.x, point.y), distance,
                    CButtonState(heldButtons(keys) | mouseModifiers(keys)));
            return 0;
        }
        case WM_KEYDOWN:
        case WM_KEYUP: {
            VstKeyCode key;
            key.virt = virtualKey(wParam);
            key.modifier = keyModifiers();
            if (key.virt == 0)
                break;
            const int32_t handled = message == WM_KEYDOWN ? onKeyDown(key) : onKeyUp(key);
            if (handled == 1)
                return 0;
            break;
        }
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace VSTGUI
