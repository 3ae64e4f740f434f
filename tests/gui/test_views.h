// Small views and listeners the toolkit tests build frames from.
#pragma once

#include <string>
#include <vector>

#include "control.h"
#include "draw_context.h"
#include "geometry.h"
#include "view.h"

namespace gui_test {

// Fills its rectangle with one colour and counts its drawings.
class SolidView : public VSTGUI::CView {
  public:
    SolidView(const VSTGUI::CRect& size, VSTGUI::CColor color) : CView(size), color(color) {}

    void draw(VSTGUI::CDrawContext* context) override {
        ++drawings;
        context->fillRect(getViewSize(), color);
        setDirty(false);
    }

    VSTGUI::CColor color;
    int drawings = 0;
};

// Writes down what a control reports, in order: "begin", "value 0.75", "end", "clicked 8".
class RecordingListener : public VSTGUI::IControlListener {
  public:
    void valueChanged(VSTGUI::CControl* control) override {
        events.push_back("value " + std::to_string(control->getValue()));
    }
    int32_t controlModifierClicked(VSTGUI::CControl*, VSTGUI::CButtonState buttons) override {
        events.push_back("clicked " + std::to_string(static_cast<int32_t>(buttons)));
        return (buttons & takeButtons) ? 1 : 0;
    }
    void controlBeginEdit(VSTGUI::CControl*) override { events.push_back("begin"); }
    void controlEndEdit(VSTGUI::CControl*) override { events.push_back("end"); }

    // Events other than the offered clicks.
    std::vector<std::string> edits() const {
        std::vector<std::string> result;
        for (const auto& event : events) {
            if (event.rfind("clicked", 0) != 0)
                result.push_back(event);
        }
        return result;
    }

    int32_t takeButtons = VSTGUI::kRButton;  // offered clicks with these buttons are taken
    std::vector<std::string> events;
};

}  // namespace gui_test
