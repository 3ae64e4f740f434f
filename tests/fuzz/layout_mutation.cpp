// Applies mutated layout descriptions to the plug-in's editor and draws it after each one,
// without a window: a bounded, reproducible fuzz run for what libFuzzer cannot reach (the
// editor is Win32 and GDI+, built with MinGW and run under Wine).
//
//   layout_mutation <seed folder> [iterations] [random seed]
//
// The documents start from the shipped layout and from every file in the seed folder. Each
// iteration changes one of them by a few mutations of its JSON tree (numbers, strings, types,
// members and elements replaced, renamed, moved, dropped, repeated or nested deeply) and
// sometimes of its text (bytes flipped, inserted, dropped, cut), then hands it to
// Editor::applyLayout and draws the whole frame offscreen. It fails when anything escapes
// either call, when the layout log does not follow the text (a new log ending in the closing
// word for JSON, none for anything else), when a widget goes missing, or when an editor built
// at the end draws differently from one built at the start. Every 64 iterations the editor is
// closed and built again.
//
// Numbers that become the knob's glow and size, or coordinates, are kept within what draws in
// reasonable time under Wine (see tame).
#include <windows.h>

#include <picojson.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bounded_json.h"
#include "controller.h"
#include "draw_context.h"
#include "editor.h"
#include "gdiplus_session.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace {

using picojson::array;
using picojson::object;
using picojson::value;

constexpr int kDefaultIterations = 800;
constexpr int kRebuildEvery = 64;

[[noreturn]] void fail(const std::string& what, const std::string& document) {
    std::fprintf(stderr, "layout_mutation: %s\n", what.c_str());
    std::ofstream("layout_mutation_failure.json", std::ios::binary) << document;
    std::fprintf(stderr, "layout_mutation: the document is in layout_mutation_failure.json\n");
    std::exit(1);
}

// xorshift64*: the same sequence on every platform.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state(seed ? seed : 1) {}
    std::uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1DULL;
    }
    std::size_t below(std::size_t n) { return n ? static_cast<std::size_t>(next() % n) : 0; }
    bool chance(int percent) { return below(100) < static_cast<std::size_t>(percent); }
    double between(double low, double high) {
        return low + (high - low) * static_cast<double>(next() >> 11) / 9007199254740992.0;
    }
    template <class T>
    const T& pick(const std::vector<T>& items) {
        return items[below(items.size())];
    }

  private:
    std::uint64_t state;
};

// A node of a document with the name it is found under (the nearest member name above it).
struct Node {
    value* node;
    std::string key;
};

void collect(value& v, const std::string& key, std::vector<Node>& nodes) {
    nodes.push_back({&v, key});
    if (v.is<array>()) {
        for (value& element : v.get<array>())
            collect(element, key, nodes);
    } else if (v.is<object>()) {
        for (auto& member : v.get<object>())
            collect(member.second, member.first, nodes);
    }
}

class Mutator {
  public:
    Mutator(Random& random, std::vector<std::string> names)
        : random(random), names(std::move(names)) {}

    value number() {
        // Ordinary ones, and those at the edges of the ranges that readers convert to.
        static const std::vector<double> kNumbers = {0,
                                                     -0.0,
                                                     1,
                                                     -1,
                                                     0.5,
                                                     2,
                                                     3,
                                                     7,
                                                     10,
                                                     50,
                                                     100,
                                                     127.5,
                                                     255,
                                                     256,
                                                     -255,
                                                     1000,
                                                     1e-300,
                                                     5e-324,
                                                     1e15,
                                                     -1e15,
                                                     2147483647,
                                                     2147483648.0,
                                                     -2147483649.0,
                                                     9.3e18,
                                                     -9.3e18,
                                                     1e300,
                                                     -1e300,
                                                     1.7976931348623157e308};
        if (random.chance(50))
            return value(random.pick(kNumbers));
        if (random.chance(50))
            return value(static_cast<double>(static_cast<int>(random.below(601)) - 300));
        return value(random.between(-500, 500));
    }

    value string() {
        static const std::vector<std::string> kTexts = [] {
            std::vector<std::string> texts = {"",
                                              "center",
                                              "near",
                                              "far",
                                              "middle",
                                              "lines",
                                              "beziers",
                                              "arcs",
                                              "Arial",
                                              "%s%n",
                                              "\t\r\n",
                                              "\xff\xfe",
                                              "\xc3",
                                              "\xed\xa0\x80",
                                              "\xf0\x9f\x98\x80",
                                              "\xe2\x88\x92"
                                              "400 ms",
                                              "fonts/DejaVuSans-subset.ttf",
                                              "fonts/DejaVuSans-Bold-subset.ttf",
                                              "images/knob-cap.png",
                                              "images/none.png",
                                              "layout.json",
                                              "fonts/DejaVuSans-subset.ttf/..",
                                              "../../etc"};
            texts.push_back(std::string(3, '\0'));
            texts.push_back(std::string(300, 'W'));
            return texts;
        }();
        if (random.chance(80))
            return value(random.pick(kTexts));
        std::string text;
        const std::size_t length = random.below(24);
        for (std::size_t i = 0; i < length; ++i)
            text.push_back(static_cast<char>(random.below(256)));
        return value(text);
    }

    value anyValue(int depth = 0) {
        switch (random.below(depth > 2 ? 4 : 6)) {
            case 0:
                return number();
            case 1:
                return string();
            case 2:
                return random.chance(50) ? value(random.chance(50)) : value();
            case 3:
                return value(array{number(), number(), number(), number()});
            case 4: {
                array items;
                for (std::size_t i = random.below(5); i > 0; --i)
                    items.push_back(anyValue(depth + 1));
                return value(items);
            }
            default: {
                object members;
                for (std::size_t i = random.below(5); i > 0; --i)
                    members[random.pick(names)] = anyValue(depth + 1);
                return value(members);
            }
        }
    }

    // One change somewhere in the tree.
    void mutateTree(value& root) {
        std::vector<Node> nodes;
        collect(root, "", nodes);
        Node target = nodes[random.below(nodes.size())];
        value& v = *target.node;
        switch (random.below(10)) {
            case 0:
            case 1:  // another value of the same kind, where it has one
                if (v.is<double>())
                    v = number();
                else if (v.is<std::string>())
                    v = string();
                else
                    v = anyValue();
                break;
            case 2:  // another kind
                v = anyValue();
                break;
            case 3:  // a member or element dropped
                if (v.is<array>() && !v.get<array>().empty()) {
                    auto& items = v.get<array>();
                    items.erase(items.begin() +
                                static_cast<std::ptrdiff_t>(random.below(items.size())));
                } else if (v.is<object>() && !v.get<object>().empty()) {
                    auto& members = v.get<object>();
                    auto it = members.begin();
                    std::advance(it, static_cast<std::ptrdiff_t>(random.below(members.size())));
                    members.erase(it);
                }
                break;
            case 4:  // an element repeated, or one added
                if (v.is<array>()) {
                    auto& items = v.get<array>();
                    const std::size_t copies = random.chance(10) ? 200 : 1 + random.below(3);
                    const value item =
                        items.empty() ? anyValue() : items[random.below(items.size())];
                    items.insert(items.end(), copies, item);
                } else if (v.is<object>()) {
                    v.get<object>()[random.pick(names)] = anyValue();
                }
                break;
            case 5:  // a member renamed (perhaps to a name another widget uses)
                if (v.is<object>() && !v.get<object>().empty()) {
                    auto& members = v.get<object>();
                    auto it = members.begin();
                    std::advance(it, static_cast<std::ptrdiff_t>(random.below(members.size())));
                    const value moved = it->second;
                    members.erase(it);
                    members[random.chance(90) ? random.pick(names) : string().get<std::string>()] =
                        moved;
                }
                break;
            case 6: {  // a subtree copied over another
                const Node& source = nodes[random.below(nodes.size())];
                const value copy = *source.node;
                v = copy;
                break;
            }
            case 7:  // wrapped
                v = random.chance(50) ? value(array{v}) : value(object{{random.pick(names), v}});
                break;
            case 8:  // an array cut short or emptied
                if (v.is<array>())
                    v.get<array>().resize(random.below(v.get<array>().size() + 1));
                else
                    v = number();
                break;
            default:  // a whole view's properties given to another view
                if (root.is<object>() && root.get<object>().size() > 1) {
                    auto& views = root.get<object>();
                    auto from = views.begin();
                    std::advance(from, static_cast<std::ptrdiff_t>(random.below(views.size())));
                    auto to = views.begin();
                    std::advance(to, static_cast<std::ptrdiff_t>(random.below(views.size())));
                    if (from->second.is<object>() && to->second.is<object>()) {
                        const object properties = from->second.get<object>();
                        for (const auto& property : properties)
                            to->second.get<object>()[property.first] = property.second;
                    }
                }
                break;
        }
    }

    // Changes to the text itself.
    void mutateText(std::string& text) {
        static const std::vector<std::string> kTokens = [] {
            std::vector<std::string> tokens = {"{",       "}",    "[",   "]",     ",",      ":",
                                               "\"",      "null", "-",   "1e999", "-1e999", "\\u",
                                               "\\ud800", "0x10", "NaN", "\xff",  "/*",     "1.",
                                               ".5",      "+1",   "01"};
            tokens.push_back(std::string(1, '\0'));
            return tokens;
        }();
        const std::size_t edits = 1 + random.below(4);
        for (std::size_t e = 0; e < edits; ++e) {
            const std::size_t at = random.below(text.size() + 1);
            switch (random.below(5)) {
                case 0:
                    if (at < text.size())
                        text[at] = static_cast<char>(text[at] ^ (1 << random.below(8)));
                    break;
                case 1:
                    text.insert(at, random.pick(kTokens));
                    break;
                case 2:
                    text.erase(at, random.below(16));
                    break;
                case 3:
                    text.resize(at);
                    break;
                default:
                    text.insert(at, text.substr(at, random.below(64)));
                    break;
            }
        }
    }

    // Nesting far deeper than any layout, in objects, arrays or both.
    std::string deeplyNested(const std::string& inner) {
        const std::size_t depth = random.chance(50) ? 50 + random.below(200) : 100000;
        const int kind = static_cast<int>(random.below(3));
        std::string text;
        text.reserve(depth * 6 + inner.size());
        for (std::size_t i = 0; i < depth; ++i)
            text += kind == 0 || (kind == 2 && i % 2) ? "{\"knob\":" : "[";
        text += inner;
        for (std::size_t i = depth; i > 0; --i)
            text += kind == 0 || (kind == 2 && (i - 1) % 2) ? "}" : "]";
        return text;
    }

  private:
    Random& random;
    std::vector<std::string> names;
};

// Numbers are brought back into the range of what can be drawn in reasonable time under Wine:
// - the knob's drawing costs glow passes times view area times glow radius, so those stay
//   modest (a glowPasses of 1e9 would take hours);
// - Wine's GDI+ flattens curves (Béziers, arcs, ellipses) by recursing without limit and
//   overflows the stack for coordinates from about 1e5, so every other number that can become
//   a coordinate stays within 1e4. Colours, font sizes, angles, gains, letter spacing and pen
//   widths keep every value.
void tame(value& v, const std::string& key) {
    if (v.is<double>()) {
        const double x = v.get<double>();
        double low = -1e4, high = 1e4;
        if (key == "glowPasses") {
            low = -2, high = 6;
        } else if (key == "glowRadius") {
            low = -5, high = 20;
        } else if (key == "viewRadius" || key == "size") {
            low = -200, high = 200;
        } else if (key == "fontSize" || key == "letterSpacing" || key == "glowGain" ||
                   key == "startAngle" || key == "endAngle" || key == "lineWidth" ||
                   key == "width" || key.find("olor") != std::string::npos) {
            return;
        }
        if (x < low || x > high)
            v = value(std::min(std::max(x, low), high));
    } else if (v.is<array>()) {
        for (value& element : v.get<array>())
            tame(element, key);
    } else if (v.is<object>()) {
        for (auto& member : v.get<object>())
            tame(member.second, member.first);
    }
}

void namesIn(const value& v, std::vector<std::string>& names) {
    if (v.is<array>()) {
        for (const value& element : v.get<array>())
            namesIn(element, names);
    } else if (v.is<object>()) {
        for (const auto& member : v.get<object>()) {
            if (std::find(names.begin(), names.end(), member.first) == names.end())
                names.push_back(member.first);
            namesIn(member.second, names);
        }
    }
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> seedDocuments(const std::string& folder) {
    std::vector<std::string> documents;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return documents;
    std::vector<std::string> names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());  // the same run whatever order the folder lists
    for (const std::string& name : names)
        documents.push_back(readFile(folder + "\\" + name));
    return documents;
}

// The editor over its own controller, built without a window.
class EditorUnderTest {
  public:
    EditorUnderTest() {
        controller = new quenvale::Controller;
        if (controller->initialize(&host) != Steinberg::kResultOk)
            fail("the controller did not initialize", "");
        controller->setParamNormalized(quenvale::Parameters::kParamDelay, 0.3);
        editor = new quenvale::Editor(controller);
        build();
    }
    ~EditorUnderTest() {
        editor->close();
        editor->release();
        controller->terminate();
        controller->release();
    }
    EditorUnderTest(const EditorUnderTest&) = delete;
    EditorUnderTest& operator=(const EditorUnderTest&) = delete;

    void build() {
        if (!editor->build() || !editor->getFrame())
            fail("the editor could not be built", "");
        views = editor->getFrame()->getNbViews();
        picture.clear();
    }
    void rebuild() {
        editor->close();
        build();
    }

    // The delay as the host changes it; the knob turns.
    void setDelay(double value) {
        editor->onParameterChanged(quenvale::Parameters::kParamDelay, value);
        picture.clear();
    }

    quenvale::Editor& get() { return *editor; }

    // The whole frame drawn into a bitmap; its pixels, row after row.
    std::vector<std::uint32_t> draw() {
        VSTGUI::CFrame* frame = editor->getFrame();
        const int width = static_cast<int>(frame->getWidth());
        const int height = static_cast<int>(frame->getHeight());
        Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppPARGB);
        {
            VSTGUI::GdiplusDrawContext context(&bitmap);
            frame->drawRect(&context, frame->getViewSize());
        }
        std::vector<std::uint32_t>& pixels = picture;
        pixels.assign(static_cast<std::size_t>(width) * height, 0);
        Gdiplus::Rect all(0, 0, width, height);
        Gdiplus::BitmapData data{};
        if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) ==
            Gdiplus::Ok) {
            for (int y = 0; y < height; ++y) {
                std::memcpy(pixels.data() + static_cast<std::size_t>(y) * width,
                            static_cast<const BYTE*>(data.Scan0) + std::ptrdiff_t(y) * data.Stride,
                            static_cast<std::size_t>(width) * 4);
            }
            bitmap.UnlockBits(&data);
        }
        return pixels;
    }

    int32_t widgetCount() const { return views; }
    // What the last draw() gave, or nothing when the editor may have changed since.
    const std::vector<std::uint32_t>& lastPicture() const { return picture; }

  private:
    Steinberg::Vst::HostApplication host;
    quenvale::Controller* controller = nullptr;
    quenvale::Editor* editor = nullptr;
    int32_t views = 0;
    std::vector<std::uint32_t> picture;
};

bool isJson(const std::string& text) {
    value parsed;
    try {
        return corvane::vst::parseFirstJsonValue(parsed, text.begin(), text.end(),
                                                 picojson::DEFAULT_MAX_DEPTHS);
    } catch (const std::overflow_error&) {
        return false;  // a number beyond double
    }
}

struct Counts {
    int iterations = 0;
    int notJson = 0;
    int overflowing = 0;
    int failures = 0;      // failure lines in the layout logs
    int refusedWhole = 0;  // documents of which nothing was assigned
};

// How many assignments of a layout log took: an assignment line "<view>.<property> = <value>"
// is followed by "<view>.<property> <error>" when it failed. Names holding "= " make a failure
// look like a success, never the other way round. "bad conversion" counts as taken: a text
// widget whose text is not UTF-8 reports it for every property assigned after, from its one
// listener, when the value is already assigned; one of them, the position, is drawn with.
int assignmentsTaken(const std::string& log) {
    std::vector<std::string> lines;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    const std::string mark = corvane::vst::kLayoutAssignmentMark;
    int taken = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t at = lines[i].find(mark);
        if (at == std::string::npos)
            continue;
        const bool failed = i + 1 < lines.size() &&
                            lines[i + 1].compare(0, at, lines[i], 0, at) == 0 &&
                            lines[i + 1].compare(at, mark.size(), mark) != 0 &&
                            lines[i + 1].find("bad conversion", at) == std::string::npos;
        taken += failed ? 0 : 1;
    }
    return taken;
}

void applyAndDraw(EditorUnderTest& editor, const std::string& text, Counts& counts) {
    const std::string logBefore = editor.get().getLayoutLog();
    const std::vector<std::uint32_t> pictureBefore = editor.lastPicture();
    bool overflowed = false;
    try {
        editor.get().applyLayout(text);
    } catch (const std::overflow_error&) {
        // A number beyond double: picojson refuses to hold it and says so by throwing, before
        // anything is applied. Every caller of applyLayout contains it.
        overflowed = true;
        ++counts.overflowing;
    } catch (const std::exception& e) {
        fail(std::string("applyLayout threw: ") + e.what(), text);
    } catch (...) {
        fail("applyLayout threw something that is no exception", text);
    }
    const std::string& log = editor.get().getLayoutLog();
    bool unchanged = true;  // nothing was assigned, so the editor must look as before
    if (overflowed || !isJson(text)) {
        counts.notJson += overflowed ? 0 : 1;
        if (log != logBefore)
            fail("text that is not JSON changed the layout log", text);
    } else {
        const std::string closing = std::string(corvane::vst::kLayoutClosingWord) + "\n";
        if (log.size() < closing.size() ||
            log.compare(log.size() - closing.size(), closing.size(), closing) != 0)
            fail("the layout log does not end in the closing word:\n" + log, text);
        // Lines of failures: those that are neither assignments nor the closing word.
        std::istringstream lines(log);
        for (std::string line; std::getline(lines, line);) {
            if (line.find(corvane::vst::kLayoutAssignmentMark) == std::string::npos &&
                line != corvane::vst::kLayoutClosingWord)
                ++counts.failures;
        }
        unchanged = assignmentsTaken(log) == 0;
    }
    std::vector<std::uint32_t> picture;
    try {
        picture = editor.draw();
    } catch (const std::exception& e) {
        fail(std::string("drawing threw: ") + e.what(), text);
    } catch (...) {
        fail("drawing threw something that is no exception", text);
    }
    if (editor.get().getFrame()->getNbViews() != editor.widgetCount())
        fail("a widget went missing", text);
    if (unchanged && !pictureBefore.empty()) {
        ++counts.refusedWhole;
        if (picture != pictureBefore)
            fail("a layout of which nothing was assigned changed the picture:\n" + log, text);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: layout_mutation <seed folder> [iterations] [random seed]\n");
        return 2;
    }
    const int iterations = argc > 2 ? std::atoi(argv[2]) : kDefaultIterations;
    const std::uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1;
    if (!corvane::vst::acquireGdiplus()) {
        std::fprintf(stderr, "layout_mutation: GDI+ did not start\n");
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    Counts counts;
    {
        const std::string shipped =
            corvane::vst::editorResources().loadResourceText(quenvale::kLayoutResource);
        std::vector<value> documents;
        std::vector<std::string> texts = seedDocuments(argv[1]);
        texts.insert(texts.begin(), shipped);
        std::vector<std::string> names;
        for (const std::string& text : texts) {
            value parsed;
            if (isJson(text) && picojson::parse(parsed, text).empty())
                documents.push_back(parsed);
        }
        for (const value& document : documents)
            namesIn(document, names);
        if (documents.empty() || names.empty())
            fail("no seed document could be read", "");

        std::vector<std::uint32_t> firstPicture;
        {
            EditorUnderTest fresh;
            firstPicture = fresh.draw();
        }

        Random random(seed);
        Mutator mutator(random, names);
        EditorUnderTest editor;
        for (int i = 0; i < iterations; ++i) {
            if (i > 0 && i % kRebuildEvery == 0)
                editor.rebuild();
            std::string text;
            if (i < static_cast<int>(texts.size())) {
                text = texts[static_cast<std::size_t>(i)];  // every seed once as it is
            } else {
                // Mostly the shipped layout, whose names the widgets know.
                value document = random.chance(70) ? documents.front() : random.pick(documents);
                for (std::size_t m = 1 + random.below(4); m > 0; --m)
                    mutator.mutateTree(document);
                tame(document, "");
                text = random.chance(50) ? document.serialize() : document.serialize(true);
                if (random.chance(25))
                    mutator.mutateText(text);
                if (random.chance(1))
                    text = mutator.deeplyNested(text);
            }
            applyAndDraw(editor, text, counts);
            ++counts.iterations;
            if (random.chance(10))
                editor.setDelay(random.between(-0.5, 1.5));
        }

        EditorUnderTest fresh;
        if (fresh.draw() != firstPicture)
            fail("an editor built after the run draws differently from one built before it", "");
    }
    corvane::vst::releaseGdiplus();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "layout_mutation: %d documents in %.1f s (seed %llu): %d not JSON, %d with a number "
        "beyond double, %d failures logged, %d refused whole\n",
        counts.iterations, seconds, static_cast<unsigned long long>(seed), counts.notJson,
        counts.overflowing, counts.failures, counts.refusedWhole);
    return 0;
}
