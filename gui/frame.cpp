#include "frame.h"

#include <algorithm>
#include <cmath>

#include "control.h"
#include "draw_context.h"

namespace VSTGUI {
namespace {

// Keeps a view alive across a call into it: the view may be removed from the frame (and
// released) by what it does, e.g. a text field that closes itself on Enter.
class Hold {
  public:
    explicit Hold(CView* view) : view(view) {
        if (view)
            view->remember();
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    ~Hold() {
        if (view)
            view->forget();
    }
    CView* operator->() const { return view; }

  private:
    CView* view;
};

}  // namespace

CFrame::CFrame(const CRect& size, VSTGUIEditorInterface* editor) : CView(size), editor(editor) {}

CFrame::~CFrame() {
    platformFrame.reset();
    removeAll();
}

bool CFrame::open(void* parent, PlatformType type) {
    if (platformFrame || !parent)
        return false;
    platformFrame = makePlatformFrame(*this, parent, type);
    return platformFrame != nullptr;
}

void CFrame::close() {
    platformFrame.reset();
    removeAll();
    forget();
}

void* CFrame::getPlatformHandle() const {
    return platformFrame ? platformFrame->getHandle() : nullptr;
}

int32_t CFrame::getCurrentModifiers() const {
    return platformFrame ? platformFrame->getModifiers() : 0;
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
    int32_t x = 0, y = 0;
    if (!platformFrame || !platformFrame->getMouseLocation(x, y))
        return false;
    where = fromPixels(x, y);
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
    if (platformFrame)
        platformFrame->setSize(getPixelWidth(), getPixelHeight());
    invalid();
    return true;
}

int32_t CFrame::getPixelWidth() const {
    return static_cast<int32_t>(std::lround(getViewSize().getWidth() * scaleFactor));
}

int32_t CFrame::getPixelHeight() const {
    return static_cast<int32_t>(std::lround(getViewSize().getHeight() * scaleFactor));
}

PixelRect CFrame::toPixels(const CRect& rect) const {
    return {static_cast<int32_t>(std::floor(rect.left * scaleFactor)),
            static_cast<int32_t>(std::floor(rect.top * scaleFactor)),
            static_cast<int32_t>(std::ceil(rect.right * scaleFactor)),
            static_cast<int32_t>(std::ceil(rect.bottom * scaleFactor))};
}

CPoint CFrame::fromPixels(double x, double y) const {
    return {x / scaleFactor, y / scaleFactor};
}

void CFrame::idle() {
    for (CView* view : views) {
        if (view->isDirty())
            view->invalid();
    }
    if (platformFrame)
        platformFrame->idle();
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
    if (platformFrame)
        platformFrame->invalidPixels(toPixels(area));
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
    if (view == focusView)
        return;
    CView* previous = focusView;
    focusView = view;
    if (previous)
        Hold(previous)->looseFocus();
}

void CFrame::onWindowFocusLost() {
    if (focusView)
        Hold(focusView)->looseFocus();
}

CMouseEventResult CFrame::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (mouseDownView)
        onMouseCancel();
    if (focusView && focusView->wantsFocusLossOnClickOutside() && !focusView->hitTest(where))
        setFocusView(nullptr);
    CView* view = topmostAt(where, true);
    if (!view)
        return kMouseEventNotHandled;
    const Hold hold(view);
    if (auto* control = dynamic_cast<CControl*>(view); control && control->getListener()) {
        if (control->getListener()->controlModifierClicked(control, buttons) != 0)
            return kMouseEventHandled;
    }
    if (view->getWantsFocus())
        setFocusView(view);
    const CMouseEventResult result = view->onMouseDown(where, buttons);
    if (result == kMouseEventHandled && view->getFrame() == this)  // not removed meanwhile
        mouseDownView = view;
    return result;
}

CMouseEventResult CFrame::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!mouseDownView)
        return kMouseEventNotHandled;
    return Hold(mouseDownView)->onMouseMoved(where, buttons);
}

CMouseEventResult CFrame::onMouseUp(CPoint& where, const CButtonState& buttons) {
    CView* view = mouseDownView;
    mouseDownView = nullptr;
    if (!view)
        return kMouseEventNotHandled;
    return Hold(view)->onMouseUp(where, buttons);
}

CMouseEventResult CFrame::onMouseCancel() {
    CView* view = mouseDownView;
    mouseDownView = nullptr;
    if (!view)
        return kMouseEventNotHandled;
    return Hold(view)->onMouseCancel();
}

bool CFrame::onWheel(const CPoint& where, const float& distance, const CButtonState& buttons) {
    CView* view = topmostAt(where, true);
    return view && Hold(view)->onWheel(where, distance, buttons);
}

int32_t CFrame::onKeyDown(VstKeyCode& key) {
    const int32_t taken = focusView ? Hold(focusView)->onKeyDown(key) : -1;
    if (taken != 1 && keyHook)
        return keyHook(key);
    return taken;
}

int32_t CFrame::onKeyUp(VstKeyCode& key) {
    return focusView ? Hold(focusView)->onKeyUp(key) : -1;
}

}  // namespace VSTGUI
