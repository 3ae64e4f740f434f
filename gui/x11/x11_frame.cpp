// The X11 back end: the frame's child window of the host's X window, on a connection of its own
// (xcb) whose descriptor the host's run loop watches. Painting goes through a back buffer drawn
// with the GDI+ API (cairo underneath) and put into the window; invalidation asks the server for
// Expose events, so that repaints coalesce and happen from the run loop.
//
// Hosts may make their window larger than the editor (to fit their own toolbar) and leave it
// unpainted: the window follows the host's window, never smaller than the frame, and what lies
// beyond the frame continues its edge pixels. Linux only.
#include <xcb/xcb.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "draw_context.h"
#include "frame.h"
#include "platform_frame.h"
#include "run_loop.h"

namespace VSTGUI {
namespace {

// Two presses of one button this close in time and space make a double click.
constexpr uint32_t kDoubleClickMs = 400;
constexpr int32_t kDoubleClickDistance = 4;

constexpr uint32_t kEventMask =
    XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
    XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
    XCB_EVENT_MASK_FOCUS_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <class T>
Reply<T> own(T* reply) {
    return Reply<T>(reply, &std::free);
}

// The window fills the host's and is never smaller than the frame; X sizes are 16-bit.
int32_t windowExtent(int32_t frameExtent, int32_t parentExtent) {
    return std::clamp(std::max(frameExtent, parentExtent), 1, 32767);
}

int32_t modifiersOf(uint16_t state) {
    int32_t modifiers = 0;
    if (state & XCB_MOD_MASK_SHIFT)
        modifiers |= kShift;
    if (state & XCB_MOD_MASK_CONTROL)
        modifiers |= kControl;
    if (state & XCB_MOD_MASK_1)
        modifiers |= kAlt;
    return modifiers;
}

int32_t buttonsHeld(uint16_t state) {
    int32_t buttons = 0;
    if (state & XCB_BUTTON_MASK_1)
        buttons |= kLButton;
    if (state & XCB_BUTTON_MASK_2)
        buttons |= kMButton;
    if (state & XCB_BUTTON_MASK_3)
        buttons |= kRButton;
    return buttons;
}

int32_t buttonOf(xcb_button_t button) {
    switch (button) {
        case 1:
            return kLButton;
        case 2:
            return kMButton;
        case 3:
            return kRButton;
        default:
            return 0;
    }
}

// The toolkit's key for a keysym: a virtual key, or a character (UTF-16) for what types one.
VstKeyCode keyOf(uint32_t keysym, uint16_t state) {
    VstKeyCode key;
    key.modifier = keyModifiersOf(modifiersOf(state));
    switch (keysym) {
        case 0xff08: key.virt = VKEY_BACK; return key;
        case 0xff09: key.virt = VKEY_TAB; return key;
        case 0xff0d: key.virt = VKEY_RETURN; return key;
        case 0xff8d: key.virt = VKEY_ENTER; return key;
        case 0xff1b: key.virt = VKEY_ESCAPE; return key;
        case 0xffff: case 0xff9f: key.virt = VKEY_DELETE; return key;
        case 0xff50: case 0xff95: key.virt = VKEY_HOME; return key;
        case 0xff57: case 0xff9c: key.virt = VKEY_END; return key;
        case 0xff51: case 0xff96: key.virt = VKEY_LEFT; return key;
        case 0xff52: case 0xff97: key.virt = VKEY_UP; return key;
        case 0xff53: case 0xff98: key.virt = VKEY_RIGHT; return key;
        case 0xff54: case 0xff99: key.virt = VKEY_DOWN; return key;
        case 0xff55: case 0xff9a: key.virt = VKEY_PAGEUP; return key;
        case 0xff56: case 0xff9b: key.virt = VKEY_PAGEDOWN; return key;
        case 0x20: key.virt = VKEY_SPACE; key.character = ' '; return key;
        // The keypad types what it shows.
        case 0xffab: key.character = '+'; return key;
        case 0xffac: key.character = ','; return key;
        case 0xffad: key.character = '-'; return key;
        case 0xffae: key.character = '.'; return key;
        default: break;
    }
    if (keysym >= 0xffb0 && keysym <= 0xffb9)
        key.character = static_cast<int32_t>('0' + (keysym - 0xffb0));
    else if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff))
        key.character = static_cast<int32_t>(keysym);  // Latin-1 keysyms are their characters
    else if (keysym >= 0x01000100 && keysym <= 0x0100ffff)
        key.character = static_cast<int32_t>(keysym - 0x01000000);
    return key;
}

class X11Frame : public IPlatformFrame, private X11::IEventHandler {
  public:
    explicit X11Frame(CFrame& frame) : frame(frame) {}
    ~X11Frame() override;

    bool create(xcb_window_t parent);

    void* getHandle() const override {
        return reinterpret_cast<void*>(static_cast<uintptr_t>(window));
    }
    void setSize(int32_t width, int32_t height) override;
    void invalidPixels(const PixelRect& rect) override;
    bool getMouseLocation(int32_t& x, int32_t& y) const override;
    int32_t getModifiers() const override;
    void idle() override;
    void beep() override;

  private:
    void onEvent() override;
    void drain();
    void dispatch(const xcb_generic_event_t& event);
    void buttonPress(const xcb_button_press_event_t& event);
    void buttonRelease(const xcb_button_release_event_t& event);
    void key(const xcb_key_press_event_t& event, bool down);
    void paint(const PixelRect& area);
    void putImage(const uint8_t* pixels, int32_t stride, int32_t top, int32_t rows);
    void readKeyboardMapping();
    // The window's size: the host's window, but at least the frame's.
    void fit();
    void extendEdges(uint8_t* pixels, int32_t stride, int32_t top, int32_t bottom) const;
    uint32_t keysymOf(xcb_keycode_t code, uint16_t state) const;
    void grabPointer(xcb_timestamp_t time);
    void ungrabPointer();
    void stopWatching();

    CFrame& frame;
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = 0;
    xcb_gcontext_t gc = 0;
    uint8_t depth = 0;
    xcb_window_t parent = 0;
    int32_t parentWidth = 0, parentHeight = 0;
    int32_t windowWidth = 0, windowHeight = 0;
    bool canPut = false;  // the window's depth is one we can paint: 24 or 32 bits in 32
    std::shared_ptr<X11::IRunLoop> loop;
    bool watching = false;
    std::unique_ptr<Gdiplus::Bitmap> backBuffer;
    bool exposePending = false;
    PixelRect exposed;
    bool grabbed = false;
    // The last press, for double clicks.
    xcb_button_t lastButton = 0;
    xcb_timestamp_t lastTime = 0;
    int32_t lastX = 0, lastY = 0;
    bool lastWasDouble = false;
    // The keyboard mapping: keysymsPerCode keysyms for each code from minKeycode.
    xcb_keycode_t minKeycode = 0;
    uint8_t keysymsPerCode = 0;
    std::vector<xcb_keysym_t> keysyms;
};

X11Frame::~X11Frame() {
    stopWatching();
    if (connection) {
        if (grabbed)
            xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
        if (gc)
            xcb_free_gc(connection, gc);
        if (window)
            xcb_destroy_window(connection, window);
        xcb_flush(connection);
        xcb_disconnect(connection);
    }
}

void X11Frame::stopWatching() {
    if (watching && loop)
        loop->unregisterEventHandler(this);
    watching = false;
    loop.reset();
}

bool X11Frame::create(xcb_window_t parentWindow) {
    parent = parentWindow;
    auto current = X11::RunLoop::current();
    if (!current || parent == 0)
        return false;
    connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection))
        return false;  // the destructor disconnects
    const auto geometry =
        own(xcb_get_geometry_reply(connection, xcb_get_geometry(connection, parent), nullptr));
    if (!geometry)
        return false;  // no such window
    depth = geometry->depth;
    parentWidth = geometry->width;
    parentHeight = geometry->height;
    const xcb_setup_t* setup = xcb_get_setup(connection);
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem;
         xcb_format_next(&formats)) {
        if (formats.data->depth == depth)
            canPut = formats.data->bits_per_pixel == 32 && (depth == 24 || depth == 32) &&
                     setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    }

    // No background: the server never clears what we paint, so nothing flickers.
    window = xcb_generate_id(connection);
    const uint32_t values[] = {XCB_BACK_PIXMAP_NONE, kEventMask};
    windowWidth = windowExtent(frame.getPixelWidth(), parentWidth);
    windowHeight = windowExtent(frame.getPixelHeight(), parentHeight);
    const auto created = xcb_create_window_checked(
        connection, XCB_COPY_FROM_PARENT, window, parent, 0, 0,
        static_cast<uint16_t>(windowWidth), static_cast<uint16_t>(windowHeight), 0,
        XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
        XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values);
    if (auto* error = xcb_request_check(connection, created)) {
        std::free(error);
        window = 0;
        return false;
    }
    // XEmbed: we are an embedded client that wants to be mapped.
    const char* name = "_XEMBED_INFO";
    const auto atom = own(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    if (atom) {
        const uint32_t info[] = {0, 1};  // version 0, XEMBED_MAPPED
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom->atom, atom->atom,
                            32, 2, info);
    }
    // The host's window's size changes reach us too (our own selection on it; the host's stays).
    const uint32_t parentEvents[] = {XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_change_window_attributes(connection, parent, XCB_CW_EVENT_MASK, parentEvents);
    gc = xcb_generate_id(connection);
    xcb_create_gc(connection, gc, window, 0, nullptr);
    readKeyboardMapping();
    // Hosts differ in whether they map embedded windows: we map ours.
    xcb_map_window(connection, window);
    xcb_flush(connection);

    loop = std::move(current);
    watching = loop->registerEventHandler(this, xcb_get_file_descriptor(connection));
    if (!watching)
        return false;
    drain();  // what arrived with the replies above is already off the descriptor
    return true;
}

void X11Frame::readKeyboardMapping() {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    minKeycode = setup->min_keycode;
    const auto count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    const auto mapping = own(xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, minKeycode, count), nullptr));
    if (!mapping)
        return;
    keysymsPerCode = mapping->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    keysyms.assign(syms, syms + xcb_get_keyboard_mapping_keysyms_length(mapping.get()));
}

uint32_t X11Frame::keysymOf(xcb_keycode_t code, uint16_t state) const {
    if (code < minKeycode || keysymsPerCode == 0)
        return 0;
    const std::size_t row = static_cast<std::size_t>(code - minKeycode) * keysymsPerCode;
    if (row >= keysyms.size())
        return 0;
    uint32_t sym = keysyms[row];
    const bool shifted = (state & XCB_MOD_MASK_SHIFT) != 0;
    if (shifted && keysymsPerCode > 1 && keysyms[row + 1] != 0)
        sym = keysyms[row + 1];
    // Caps Lock turns letters the other way.
    if ((state & XCB_MOD_MASK_LOCK) && sym < 0x80 && std::isalpha(static_cast<int>(sym)))
        sym = shifted ? static_cast<uint32_t>(std::tolower(static_cast<int>(sym)))
                      : static_cast<uint32_t>(std::toupper(static_cast<int>(sym)));
    return sym;
}

void X11Frame::setSize(int32_t, int32_t) {
    fit();  // the frame's new size is the least the window may have
}

void X11Frame::fit() {
    const int32_t width = windowExtent(frame.getPixelWidth(), parentWidth);
    const int32_t height = windowExtent(frame.getPixelHeight(), parentHeight);
    if (width == windowWidth && height == windowHeight)
        return;
    windowWidth = width;
    windowHeight = height;
    const uint32_t size[] = {static_cast<uint32_t>(width), static_cast<uint32_t>(height)};
    xcb_configure_window(connection, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                         size);
    xcb_flush(connection);
}

void X11Frame::invalidPixels(const PixelRect& rect) {
    const int32_t left = std::max(rect.left, 0);
    const int32_t top = std::max(rect.top, 0);
    // What lies beyond the frame continues its edges: a change at an edge changes it too.
    const int32_t right = rect.right >= frame.getPixelWidth() ? windowWidth : rect.right;
    const int32_t bottom = rect.bottom >= frame.getPixelHeight() ? windowHeight : rect.bottom;
    if (right <= left || bottom <= top)
        return;
    // With no background nothing is cleared: the server only sends us an Expose.
    xcb_clear_area(connection, 1, window, static_cast<int16_t>(left), static_cast<int16_t>(top),
                   static_cast<uint16_t>(right - left), static_cast<uint16_t>(bottom - top));
    xcb_flush(connection);
}

bool X11Frame::getMouseLocation(int32_t& x, int32_t& y) const {
    const auto pointer =
        own(xcb_query_pointer_reply(connection, xcb_query_pointer(connection, window), nullptr));
    if (!pointer)
        return false;
    x = pointer->win_x;
    y = pointer->win_y;
    return true;
}

int32_t X11Frame::getModifiers() const {
    const auto pointer =
        own(xcb_query_pointer_reply(connection, xcb_query_pointer(connection, window), nullptr));
    return pointer ? modifiersOf(pointer->mask) : 0;
}

void X11Frame::beep() {
    xcb_bell(connection, 0);
    xcb_flush(connection);
}

void X11Frame::idle() {
    if (xcb_connection_has_error(connection)) {
        // A dead connection leaves its descriptor readable for good: stop the host from calling
        // us for it. Done here, from a timer, never from inside the handler itself.
        stopWatching();
        return;
    }
    drain();  // events read while waiting for a reply wait in the queue, not on the descriptor
}

void X11Frame::onEvent() {
    if (!xcb_connection_has_error(connection))
        drain();
}

void X11Frame::drain() {
    // Everything there is, without blocking: the host calls again only when the descriptor
    // becomes readable again.
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
        try {
            dispatch(*event);
        } catch (...) {
            // Nothing may unwind into the host's run loop.
        }
        std::free(event);
    }
    if (exposePending) {
        exposePending = false;
        try {
            paint(exposed);
        } catch (...) {
        }
    }
    xcb_flush(connection);
}

void X11Frame::dispatch(const xcb_generic_event_t& event) {
    switch (event.response_type & 0x7f) {
        case XCB_EXPOSE: {
            const auto& expose = reinterpret_cast<const xcb_expose_event_t&>(event);
            const PixelRect area{expose.x, expose.y, expose.x + expose.width,
                                 expose.y + expose.height};
            if (!exposePending) {
                exposed = area;
                exposePending = true;
            } else {
                exposed = {std::min(exposed.left, area.left), std::min(exposed.top, area.top),
                           std::max(exposed.right, area.right),
                           std::max(exposed.bottom, area.bottom)};
            }
            break;
        }
        case XCB_BUTTON_PRESS:
            buttonPress(reinterpret_cast<const xcb_button_press_event_t&>(event));
            break;
        case XCB_BUTTON_RELEASE:
            buttonRelease(reinterpret_cast<const xcb_button_release_event_t&>(event));
            break;
        case XCB_MOTION_NOTIFY: {
            const auto& motion = reinterpret_cast<const xcb_motion_notify_event_t&>(event);
            CPoint where = frame.fromPixels(motion.event_x, motion.event_y);
            frame.onMouseMoved(where,
                               CButtonState(buttonsHeld(motion.state) | modifiersOf(motion.state)));
            break;
        }
        case XCB_KEY_PRESS:
            key(reinterpret_cast<const xcb_key_press_event_t&>(event), true);
            break;
        case XCB_KEY_RELEASE:
            key(reinterpret_cast<const xcb_key_press_event_t&>(event), false);
            break;
        case XCB_CONFIGURE_NOTIFY: {
            const auto& configure = reinterpret_cast<const xcb_configure_notify_event_t&>(event);
            if (configure.window == parent) {
                parentWidth = configure.width;
                parentHeight = configure.height;
                fit();
            }
            break;
        }
        case XCB_FOCUS_OUT: {
            const auto& focus = reinterpret_cast<const xcb_focus_out_event_t&>(event);
            if (focus.mode == XCB_NOTIFY_MODE_NORMAL && focus.detail != XCB_NOTIFY_DETAIL_INFERIOR)
                frame.onWindowFocusLost();
            break;
        }
        default:
            break;  // errors of unchecked requests, mapping and configuration notices
    }
}

void X11Frame::buttonPress(const xcb_button_press_event_t& event) {
    const int32_t modifiers = modifiersOf(event.state);
    if (event.detail >= 4 && event.detail <= 7) {
        // Buttons 4 and 5 are the wheel's steps away and towards; 6 and 7 its sideways ones,
        // with right as away.
        const float distance = (event.detail == 4 || event.detail == 7) ? 1.f : -1.f;
        frame.onWheel(frame.fromPixels(event.event_x, event.event_y), distance,
                      CButtonState(buttonsHeld(event.state) | modifiers));
        return;
    }
    const int32_t button = buttonOf(event.detail);
    if (!button)
        return;
    const bool doubleClick = !lastWasDouble && event.detail == lastButton &&
                             event.time - lastTime <= kDoubleClickMs &&
                             std::abs(event.event_x - lastX) <= kDoubleClickDistance &&
                             std::abs(event.event_y - lastY) <= kDoubleClickDistance;
    lastButton = event.detail;
    lastTime = event.time;
    lastX = event.event_x;
    lastY = event.event_y;
    lastWasDouble = doubleClick;
    // A click gives us the keyboard, as a click on a window does.
    xcb_set_input_focus(connection, XCB_INPUT_FOCUS_PARENT, window, event.time);
    CPoint where = frame.fromPixels(event.event_x, event.event_y);
    const CButtonState buttons(button | modifiers | (doubleClick ? kDoubleClick : 0));
    if (frame.onMouseDown(where, buttons) == kMouseEventHandled && frame.isDragging())
        grabPointer(event.time);
}

void X11Frame::buttonRelease(const xcb_button_release_event_t& event) {
    const int32_t button = buttonOf(event.detail);
    if (!button)
        return;
    CPoint where = frame.fromPixels(event.event_x, event.event_y);
    frame.onMouseUp(where, CButtonState(button | modifiersOf(event.state)));
    if (!frame.isDragging())
        ungrabPointer();
}

void X11Frame::grabPointer(xcb_timestamp_t time) {
    const auto grab = own(xcb_grab_pointer_reply(
        connection,
        xcb_grab_pointer(connection, 0, window,
                         XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION,
                         XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, time),
        nullptr));
    grabbed = grab && grab->status == XCB_GRAB_STATUS_SUCCESS;
}

void X11Frame::ungrabPointer() {
    if (grabbed) {
        xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
        grabbed = false;
    }
}

void X11Frame::key(const xcb_key_press_event_t& event, bool down) {
    VstKeyCode code = keyOf(keysymOf(event.detail, event.state), event.state);
    if (code.virt == 0 && code.character == 0)
        return;
    if (down)
        frame.onKeyDown(code);
    else
        frame.onKeyUp(code);
}

void X11Frame::paint(const PixelRect& exposedArea) {
    const int32_t width = windowWidth;
    const int32_t height = windowHeight;
    if (!canPut || width <= 0 || height <= 0)
        return;
    PixelRect area = exposedArea;
    if (!backBuffer || static_cast<int32_t>(backBuffer->GetWidth()) != width ||
        static_cast<int32_t>(backBuffer->GetHeight()) != height) {
        backBuffer = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppPARGB);
        if (backBuffer->GetLastStatus() != Gdiplus::Ok) {
            backBuffer.reset();
            return;
        }
        area = {0, 0, width, height};  // a new buffer holds nothing yet
    }
    const int32_t top = std::clamp(area.top, 0, height);
    const int32_t bottom = std::clamp(area.bottom, 0, height);
    if (bottom <= top)
        return;
    {
        GdiplusDrawContext context(backBuffer.get(), frame.getScaleFactor());
        const CPoint from = frame.fromPixels(area.left, area.top);
        const CPoint to = frame.fromPixels(area.right, area.bottom);
        frame.drawRect(&context, CRect(from.x, from.y, to.x, to.y));
    }
    // Whole rows: they lie one after another in the buffer, so no copy is needed.
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData data{};
    if (backBuffer->LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite,
                             PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return;
    auto* pixels = static_cast<uint8_t*>(data.Scan0);
    extendEdges(pixels, data.Stride, top, bottom);
    putImage(pixels, data.Stride, top, bottom - top);
    backBuffer->UnlockBits(&data);
}

void X11Frame::extendEdges(uint8_t* pixels, int32_t stride, int32_t top, int32_t bottom) const {
    const int32_t frameWidth = std::min(frame.getPixelWidth(), windowWidth);
    const int32_t frameHeight = std::min(frame.getPixelHeight(), windowHeight);
    if (frameWidth <= 0 || frameHeight <= 0)
        return;
    for (int32_t y = top; y < std::min(bottom, frameHeight); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(pixels + std::ptrdiff_t(y) * stride);
        std::fill(row + frameWidth, row + windowWidth, row[frameWidth - 1]);
    }
    const uint8_t* last = pixels + std::ptrdiff_t(frameHeight - 1) * stride;
    for (int32_t y = std::max(top, frameHeight); y < bottom; ++y)
        std::memcpy(pixels + std::ptrdiff_t(y) * stride, last, std::size_t(windowWidth) * 4);
}

void X11Frame::putImage(const uint8_t* pixels, int32_t stride, int32_t top, int32_t rows) {
    if (stride != windowWidth * 4)
        return;
    // A request may hold only so many bytes: put the rows in bands that fit.
    const uint64_t maximum = uint64_t(xcb_get_maximum_request_length(connection)) * 4;
    const int32_t band =
        static_cast<int32_t>(std::max<uint64_t>(1, (maximum - 64) / static_cast<uint64_t>(stride)));
    for (int32_t row = top; row < top + rows; row += band) {
        const int32_t count = std::min(band, top + rows - row);
        xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc,
                      static_cast<uint16_t>(windowWidth), static_cast<uint16_t>(count), 0,
                      static_cast<int16_t>(row), 0, depth,
                      static_cast<uint32_t>(count) * static_cast<uint32_t>(stride),
                      pixels + static_cast<std::ptrdiff_t>(row) * stride);
    }
}

}  // namespace

std::unique_ptr<IPlatformFrame> makePlatformFrame(CFrame& frame, void* parent, PlatformType type) {
    if (type != kX11EmbedWindowID && type != kDefaultNative)
        return nullptr;
    auto made = std::make_unique<X11Frame>(frame);
    const auto id = static_cast<xcb_window_t>(reinterpret_cast<uintptr_t>(parent));
    if (!made->create(id))
        return nullptr;
    return made;
}

}  // namespace VSTGUI
