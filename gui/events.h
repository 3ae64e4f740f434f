// Mouse buttons, modifier keys, key codes and the answers of event handlers, with the values the
// toolkit's callers know. Header-only and portable.
#pragma once

#include <cstdint>

namespace VSTGUI {

enum CButton : int32_t {
    kLButton = 1 << 1,
    kMButton = 1 << 2,
    kRButton = 1 << 3,
    kShift = 1 << 4,
    kControl = 1 << 5,
    kAlt = 1 << 6,
    kApple = 1 << 7,
    kDoubleClick = 1 << 10,
};

// Shift divides drags, wheel steps and key steps; Control with a left click restores the default.
constexpr int32_t kZoomModifier = kShift;
constexpr int32_t kDefaultValueModifier = kControl;

class CButtonState {
  public:
    CButtonState(int32_t state = 0) : state(state) {}

    int32_t getButtonState() const { return state & (kLButton | kMButton | kRButton); }
    int32_t getModifierState() const { return state & (kShift | kControl | kAlt | kApple); }
    bool isLeftButton() const { return (state & kLButton) != 0; }
    bool isRightButton() const { return (state & kRButton) != 0; }
    bool isDoubleClick() const { return (state & kDoubleClick) != 0; }
    operator int32_t() const { return state; }

    bool operator==(const CButtonState& other) const { return state == other.state; }
    bool operator!=(const CButtonState& other) const { return state != other.state; }

  private:
    int32_t state;
};

enum CMouseEventResult {
    kMouseEventNotImplemented = 0,
    kMouseEventHandled,
    kMouseEventNotHandled,
    kMouseDownEventHandledButDontNeedMovedOrUpEvents,
};

enum CMessageResult {
    kMessageUnknown = 0,
    kMessageNotified,
};

enum CKnobMode {
    kCircularMode = 0,
    kRelativCircularMode = 1,
    kLinearMode = 2,
};

// Virtual keys, in the numbering of the plug-in interface's key codes (the ones handled here).
enum VirtualKey : int32_t {
    VKEY_BACK = 1,
    VKEY_TAB = 2,
    VKEY_RETURN = 4,
    VKEY_ESCAPE = 6,
    VKEY_SPACE = 7,
    VKEY_END = 9,
    VKEY_HOME = 10,
    VKEY_LEFT = 11,
    VKEY_UP = 12,
    VKEY_RIGHT = 13,
    VKEY_DOWN = 14,
    VKEY_PAGEUP = 15,
    VKEY_PAGEDOWN = 16,
    VKEY_ENTER = 19,
    VKEY_DELETE = 22,
};

enum KeyModifier : uint8_t {
    MODIFIER_SHIFT = 1 << 0,
    MODIFIER_ALTERNATE = 1 << 1,
    MODIFIER_COMMAND = 1 << 2,
    MODIFIER_CONTROL = 1 << 3,
};

// The key modifiers of the held kShift, kAlt and kControl.
inline uint8_t keyModifiersOf(int32_t held) {
    return static_cast<uint8_t>(((held & kShift) ? MODIFIER_SHIFT : 0) |
                                ((held & kAlt) ? MODIFIER_ALTERNATE : 0) |
                                ((held & kControl) ? MODIFIER_CONTROL : 0));
}

// A key press: its character (UTF-16, 0 for none), its virtual key (0 for none) and modifiers.
struct VstKeyCode {
    int32_t character = 0;
    int32_t virt = 0;
    uint8_t modifier = 0;
};

}  // namespace VSTGUI
