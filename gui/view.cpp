#include "view.h"

#include "bitmap.h"
#include "frame.h"

namespace VSTGUI {
namespace {

void replace(CBitmap*& slot, CBitmap* bitmap) {
    if (bitmap)
        bitmap->remember();
    if (slot)
        slot->forget();
    slot = bitmap;
}

}  // namespace

CView::CView(const CRect& size) : size(size), mouseableArea(size) {}

CView::~CView() {
    replace(background, nullptr);
    replace(disabledBackground, nullptr);
}

void CView::draw(CDrawContext* context) {
    CBitmap* bitmap = (!mouseEnabled && disabledBackground) ? disabledBackground : background;
    if (bitmap)
        bitmap->draw(context, size);
    setDirty(false);
}

void CView::invalid() {
    setDirty(false);
    invalidRect(size);
}

void CView::invalidRect(const CRect& rect) {
    if (parentFrame)
        parentFrame->invalidRect(rect);
}

void CView::setViewSize(const CRect& rect, bool doInvalid) {
    if (rect == size)
        return;
    size = rect;
    if (doInvalid)
        invalid();
}

void CView::setMouseEnabled(bool enabled) {
    if (enabled == mouseEnabled)
        return;
    mouseEnabled = enabled;
    if (disabledBackground)
        setDirty();
}

void CView::setBackground(CBitmap* bitmap) {
    replace(background, bitmap);
    setDirty();
}

void CView::setDisabledBackground(CBitmap* bitmap) {
    replace(disabledBackground, bitmap);
    setDirty();
}

CMouseEventResult CView::onMouseDown(CPoint&, const CButtonState&) {
    return kMouseEventNotImplemented;
}
CMouseEventResult CView::onMouseMoved(CPoint&, const CButtonState&) {
    return kMouseEventNotImplemented;
}
CMouseEventResult CView::onMouseUp(CPoint&, const CButtonState&) {
    return kMouseEventNotImplemented;
}
CMouseEventResult CView::onMouseCancel() {
    return kMouseEventNotImplemented;
}
bool CView::onWheel(const CPoint&, const float&, const CButtonState&) {
    return false;
}
int32_t CView::onKeyDown(VstKeyCode&) {
    return -1;
}
int32_t CView::onKeyUp(VstKeyCode&) {
    return -1;
}

}  // namespace VSTGUI
