// The value field as a user meets it, in a frame without a window: opened by a TextEntry, typed
// into through the frame, drawn offscreen under Wine's GDI+ with the editor's embedded font. The
// pictures go to the test output folder.
#include <gtest/gtest.h>

#include "gdiplus_api.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "drawables.h"
#include "frame.h"
#include "offscreen.h"
#include "resource_cache.h"
#include "resource_registry.h"
#include "text_edit.h"
#include "text_entry.h"

namespace corvane::vst {
namespace {

using namespace VSTGUI;
using testing::Canvas;
using testing::Pixel;
using Selection = std::vector<std::size_t>;  // start, end, caret

const CRect kField(10, 4, 106, 20);
const std::string kMinus = "\xE2\x88\x92";

bool is(const Pixel& p, const CColor& c) {
    return p.r == c.red && p.g == c.green && p.b == c.blue;
}

class ValueField : public ::testing::Test {
  protected:
    void SetUp() override {
        frame->setBackgroundColor(CColor(44, 46, 52));
        knob->setWantsFocus(true);  // as the knob, on a click
        frame->addView(knob);
    }
    void TearDown() override {
        entry.close();
        frame->close();
    }

    // Digits alone are taken.
    void open(const std::string& text, bool withFont = true) {
        const auto font = withFont ? resources.getFontFamily(KOText::kDefaultFont) : nullptr;
        ASSERT_TRUE(entry.open(*frame, kField, font, 11, text, [this](const std::string& typed) {
            offered.push_back(typed);
            return typed.find_first_not_of("0123456789") == std::string::npos;
        }));
    }
    int32_t press(int32_t virt, uint8_t modifier = 0, char16_t character = 0) {
        VstKeyCode key;
        key.virt = virt;
        key.modifier = modifier;
        key.character = character;
        return frame->onKeyDown(key);
    }
    // Each is taken.
    void keys(std::initializer_list<int32_t> virts, uint8_t modifier = 0) {
        for (const int32_t virt : virts)
            EXPECT_EQ(press(virt, modifier), 1) << virt;
    }
    void type(const std::u16string& text) {
        for (const char16_t c : text)
            EXPECT_EQ(press(0, 0, c), 1);
    }
    void click(double x, int32_t buttons = kLButton) {
        CPoint where(x, 12);
        frame->onMouseDown(where, buttons);
        frame->onMouseUp(where, buttons);
    }
    Selection selection() const {
        const CTextEdit* field = entry.getField();
        return {field->getSelectionStart(), field->getSelectionEnd(), field->getCaret()};
    }
    Canvas render(double scale = 1, const std::string& picture = {}) {
        Canvas canvas(static_cast<int>(200 * scale), static_cast<int>(24 * scale));
        {
            GdiplusDrawContext context(canvas.image(), scale);
            frame->drawRect(&context, frame->getViewSize());
        }
        if (!picture.empty())
            canvas.save(picture);
        return canvas;
    }
    int count(bool (*which)(const Pixel&)) {
        Canvas canvas = render();
        int n = 0;
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                n += which(canvas.at(x, y)) ? 1 : 0;
        return n;
    }

    ResourceCache resources{editorResources()};
    CFrame* frame = new CFrame(CRect(0, 0, 200, 24), nullptr);
    CView* knob = new CView(CRect(150, 0, 200, 24));
    TextEntry entry;
    std::vector<std::string> offered;
};

TEST_F(ValueField, TypingAndEditingKeysChangeTheTextAsInAnyTextField) {
    frame->setFocusView(knob);
    open("2.00 ms");
    EXPECT_EQ(frame->getFocusView(), entry.getField());
    EXPECT_EQ(selection(), (Selection{0, 7, 7}));  // all of it, on opening
    type(u"-3");                                   // replaces it
    // The third Left stays at the start.
    keys({VKEY_LEFT, VKEY_LEFT, VKEY_LEFT, VKEY_DELETE, VKEY_END});
    type(u",5 \u00B5s");
    keys({VKEY_BACK, VKEY_BACK});
    EXPECT_EQ(entry.getText(), "3,5 ");
    keys({VKEY_HOME});
    keys({VKEY_RIGHT}, MODIFIER_SHIFT);
    type(u"\u22124");
    EXPECT_EQ(entry.getText(), kMinus + "4,5 ");
    keys({VKEY_END}, MODIFIER_SHIFT);
    EXPECT_EQ(selection(), (Selection{2, 5, 5}));
    keys({VKEY_LEFT});  // collapses the selection to its start
    keys({VKEY_HOME}, MODIFIER_SHIFT);
    EXPECT_EQ(selection(), (Selection{0, 2, 0}));
    keys({VKEY_BACK});
    EXPECT_EQ(entry.getText(), ",5 ");

    // Control makes shortcuts, not characters (with Alt it is AltGr, which types); the space
    // key is taken, its character comes on its own; surrogates and DEL type nothing.
    EXPECT_EQ(press(0, MODIFIER_CONTROL, u'a'), -1);
    EXPECT_EQ(press(0, MODIFIER_CONTROL | MODIFIER_ALTERNATE, u'@'), 1);
    keys({VKEY_SPACE});
    for (const char16_t refused : {u'\xD83D', u'\x7F'})
        EXPECT_EQ(press(0, 0, refused), -1);
    EXPECT_EQ(entry.getText(), "@,5 ");

    // Clicks place the caret, before the text or after it; a double click selects all.
    click(kField.left + 3);
    EXPECT_EQ(selection(), (Selection{0, 0, 0}));
    click(kField.right - 3);
    EXPECT_EQ(selection(), (Selection{4, 4, 4}));
    click(kField.left + 3, kLButton | kDoubleClick);
    EXPECT_EQ(selection(), (Selection{0, 4, 4}));

    type(u"42");
    EXPECT_TRUE(offered.empty());
    keys({VKEY_ENTER});  // the keypad's
    EXPECT_EQ(offered, (std::vector<std::string>{"42"}));
    EXPECT_FALSE(entry.isOpen());
    EXPECT_EQ(frame->getNbViews(), 1);
    EXPECT_EQ(frame->getFocusView(), knob);  // back where it was
}

TEST_F(ValueField, ARefusedValueTurnsRedUntilTheUserTypesAgain) {
    const auto reddish = [](const Pixel& p) { return p.r > 200 && p.g < 160 && p.b < 160; };
    const auto light = [](const Pixel& p) { return p.brightness() > 200; };
    open("ten ms");
    EXPECT_EQ(count(reddish), 0);
    keys({VKEY_RETURN});
    EXPECT_EQ(offered, (std::vector<std::string>{"ten ms"}));
    ASSERT_TRUE(entry.isOpen());
    EXPECT_TRUE(entry.isRefused());
    EXPECT_EQ(selection(), (Selection{0, 6, 6}));
    EXPECT_GT(count(reddish), 10);
    type(u"1");
    EXPECT_FALSE(entry.isRefused());
    EXPECT_EQ(count(reddish), 0);
    entry.enter();
    EXPECT_FALSE(entry.isOpen());

    // Without a font the field is an empty box, and still a field.
    open("5", false);
    EXPECT_EQ(count(light), 0);
    keys({VKEY_BACK});
    type(u"7");
    entry.enter();
    EXPECT_EQ(offered.back(), "7");
    EXPECT_FALSE(entry.isOpen());
}

TEST_F(ValueField, EscapeAClickElsewhereOrTheFocusGoingAwayCloseItWithoutAnEdit) {
    const std::vector<std::pair<const char*, std::function<void()>>> ways{
        {"escape", [&] { keys({VKEY_ESCAPE}); }},
        {"click on nothing", [&] { click(130); }},
        {"click on the knob", [&] { click(170); }},
        {"right click beside", [&] { click(5, kRButton); }},
        {"another view takes the focus", [&] { frame->setFocusView(knob); }},
        {"the window loses the keyboard", [&] { frame->onWindowFocusLost(); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.first);
        open("2.00 ms");
        type(u"1");
        click(kField.left + 2);  // inside: stays open
        ASSERT_TRUE(entry.isOpen());
        const CView* field = entry.getField();
        way.second();
        EXPECT_FALSE(entry.isOpen());
        EXPECT_EQ(frame->getNbViews(), 1);
        EXPECT_NE(frame->getFocusView(), field);
    }
    EXPECT_TRUE(offered.empty());
    EXPECT_EQ(frame->getFocusView(), knob);
}

TEST_F(ValueField, TheOpenFieldShowsItsTextCentredWithSelectionAndCaret) {
    open(kMinus + "3.50 ms");
    Canvas opened = render(2, "value-field-opened");
    const int middle = 24, left = 20, right = 211;  // device pixels at twice the scale
    EXPECT_TRUE(is(opened.at(left, middle), CTextEdit::kBorderColor));
    EXPECT_TRUE(is(opened.at(left + 1, middle), CTextEdit::kFieldColor));
    // All selected: the selection is the text's box, centred in the field, with ink in it, and
    // the caret a one-pixel line right after it.
    int first = -1, last = -1, inked = 0;
    for (int x = left; x <= right; ++x) {
        if (is(opened.at(x, middle - 10), CTextEdit::kSelectionColor)) {
            first = first < 0 ? x : first;
            last = x;
        }
        inked += opened.at(x, middle).brightness() > 150 ? 1 : 0;
    }
    ASSERT_GT(last - first, 40);
    EXPECT_NEAR((first + last + 1) / 2.0, (left + right + 1) / 2.0, 2);
    EXPECT_GT(inked, 10);
    EXPECT_TRUE(is(opened.at(last + 1, middle - 10), CTextEdit::kTextColor));
    EXPECT_TRUE(is(opened.at(last + 1, middle + 10), CTextEdit::kTextColor));

    // While typing: some of it selected, the caret inside the text.
    entry.getField()->setSelection(5, 1);
    render(2, "value-field-selecting");
}

}  // namespace
}  // namespace corvane::vst
