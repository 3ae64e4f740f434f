// The top view: owns the other views and, once opened, a child window of the host's window (made
// by the platform's back end, see platform_frame.h) that paints them double-buffered and passes
// them the mouse, the wheel and the keys. Views are in frame coordinates, which are the window's
// pixels divided by the display scale. Everything runs on the user-interface thread that opened
// the frame. Portable.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "editor_interface.h"
#include "platform_frame.h"
#include "view.h"

namespace VSTGUI {

class CFrame : public CView {
  public:
    // editor: not owned, may be null; it supplies the knob mode.
    CFrame(const CRect& size, VSTGUIEditorInterface* editor);
    ~CFrame() override;

    // Creates the child window of `parent` (an HWND on Windows, an X window id on Linux); false
    // when already open, when the type is not the platform's or when the window cannot be made.
    bool open(void* parent, PlatformType type = kDefaultNative);
    // Destroys the window, releases every view and drops the creator's reference (normally the
    // last, which deletes the frame).
    void close();
    bool isOpen() const { return platformFrame != nullptr; }
    // The native window; null while closed.
    void* getPlatformHandle() const;
    IPlatformFrame* getPlatformFrame() const { return platformFrame.get(); }

    // Takes over the caller's reference of `view`.
    bool addView(CView* view);
    // Releases the frame's reference of `view` (deleting it if that was the last).
    bool removeView(CView* view);
    void removeAll();
    int32_t getNbViews() const { return static_cast<int32_t>(views.size()); }
    CView* getView(int32_t index) const;
    // The topmost direct child whose mouse area holds `where`; null for none.
    CView* getViewAt(const CPoint& where) const;

    void setBackgroundColor(const CColor& color);
    const CColor& getBackgroundColor() const { return backgroundColor; }
    VSTGUIEditorInterface* getEditor() const { return editor; }
    int32_t getKnobMode() const;

    // The mouse pointer in frame coordinates; false without a window.
    bool getCurrentMouseLocation(CPoint& where) const;

    // Redraws the dirty views and gives the back end its tick.
    void idle();
    void invalid() override;
    void invalidRect(const CRect& rect) override;
    // What was invalidated and not drawn since (frame coordinates, empty for nothing).
    const CRect& getInvalidArea() const { return invalidArea; }

    // Paints the background and every view that meets `updateRect`, clipped to it. The window
    // paints through this; so can an offscreen bitmap.
    void drawRect(CDrawContext* context, const CRect& updateRect);
    void draw(CDrawContext* context) override;

    // The old focus view is told looseFocus.
    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }
    // The window lost the keyboard: the focus view is told looseFocus and stays the focus view.
    void onWindowFocusLost();

    // The display scale: the window is round(width × f) × round(height × f) pixels, the views
    // draw at that resolution and mouse positions reach them in frame coordinates (divided by
    // f). The frame's and the views' sizes stay as they are. Factors outside 0.5..4 are refused.
    bool setScaleFactor(double factor);
    double getScaleFactor() const { return scaleFactor; }
    // The window's pixels that hold a rectangle of frame coordinates, and back.
    PixelRect toPixels(const CRect& rect) const;
    CPoint fromPixels(double x, double y) const;
    int32_t getPixelWidth() const;
    int32_t getPixelHeight() const;

    // Keys the focus view did not take go to the hook; it answers 1 when it took one.
    void setKeyHook(std::function<int32_t(VstKeyCode&)> hook) { keyHook = std::move(hook); }

    // Mouse, wheel and keys as the window receives them, in frame coordinates; also callable
    // directly. A mouse-down outside a focus view that wants it so (a text field) first takes
    // the focus away from it; then it goes to the topmost mouse-enabled view under the pointer;
    // a control's listener is offered it first (controlModifierClicked). The view that takes a
    // mouse-down gets the moves and the release (isDragging() meanwhile: the back end keeps the
    // pointer to the window). A view may remove itself from the frame in any of its handlers.
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseCancel() override;
    bool onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) override;
    // To the focus view; -1 when nothing took the key.
    int32_t onKeyDown(VstKeyCode& key) override;
    int32_t onKeyUp(VstKeyCode& key) override;

    bool isDragging() const { return mouseDownView != nullptr; }

    // Shift, Control and Alt (kShift, kControl, kAlt) as the keyboard holds them now; 0 while
    // closed.
    int32_t getCurrentModifiers() const;

  private:
    // The topmost direct child whose mouse area holds `where`, perhaps only mouse-enabled ones.
    CView* topmostAt(const CPoint& where, bool mouseEnabledOnly) const;
    void forgetView(CView* view);

    VSTGUIEditorInterface* editor;
    std::vector<CView*> views;
    CColor backgroundColor{0, 0, 0, 255};
    std::unique_ptr<IPlatformFrame> platformFrame;
    CView* mouseDownView = nullptr;
    CView* focusView = nullptr;
    CRect invalidArea;
    double scaleFactor = 1.0;
    std::function<int32_t(VstKeyCode&)> keyHook;
};

}  // namespace VSTGUI
