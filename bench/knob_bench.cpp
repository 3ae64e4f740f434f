// What a knob redraw costs through the GDI+ API (GDI+ itself under Wine or on Windows; cairo on
// Linux): after a value change, with the pointer image cached, and after a change that discards
// the image, so that the pointer and its blurred glow are rendered again; then what the parts of
// a warm redraw cost. The same program on both platforms, timed with the steady clock (Google
// Benchmark has no MinGW build here): a warm-up, then the median and the minimum of many
// repetitions, in microseconds.
#include <picojson.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "draw_context.h"
#include "gdiplus_api.h"
#include "gdiplus_session.h"
#include "my_knob.h"
#include "resource_cache.h"
#include "resource_registry.h"

namespace {

using corvane::vst::MyKnob;

struct Timing {
    double median = 0, minimum = 0;
};

Timing measure(int warmUp, int repetitions, const std::function<void()>& run) {
    for (int i = 0; i < warmUp; ++i)
        run();
    using Clock = std::chrono::steady_clock;
    std::vector<double> micros;
    for (int i = 0; i < repetitions; ++i) {
        const Clock::time_point start = Clock::now();
        run();
        const Clock::time_point stop = Clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
    }
    std::sort(micros.begin(), micros.end());
    return {micros[micros.size() / 2], micros.front()};
}

void report(const char* what, const Timing& timing) {
    std::printf("%-52s median %8.1f us   min %8.1f us\n", what, timing.median, timing.minimum);
}

picojson::value json(const std::string& text) {
    picojson::value value;
    picojson::parse(value, text);
    return value;
}

// Draws a knob into the editor-sized canvas, a step further round each time.
class Bench {
  public:
    // scale: the display scale the canvas is drawn at.
    explicit Bench(corvane::vst::ResourceCache& resources, int scale = 1)
        : canvas(246 * scale, 160 * scale, PixelFormat32bppPARGB),
          context(&canvas, scale),
          knob(new MyKnob(VSTGUI::CPoint(123, 80), nullptr, 1, &resources)) {}
    ~Bench() { knob->forget(); }

    void turn() {
        value = value < 0.95f ? value + 0.05f : 0.f;
        knob->setValue(value);
    }
    void redraw() {
        turn();
        knob->draw(&context);
    }

    Gdiplus::Bitmap canvas;
    VSTGUI::GdiplusDrawContext context;
    MyKnob* knob;
    float value = 0.f;
};

}  // namespace

int main() {
    if (!corvane::vst::acquireGdiplus()) {
        std::fprintf(stderr, "GDI+ did not start\n");
        return 1;
    }
    {
        corvane::vst::ResourceCache resources(corvane::vst::editorResources());
        Bench bench(resources);  // the default look: an 80 x 80 view
        report("redraw after a value change (pointer image cached)",
               measure(20, 500, [&] { bench.redraw(); }));
        const picojson::value gain(1.0);  // discards the pointer image, keeps the geometry
        report("redraw after the pointer image was discarded", measure(5, 100, [&] {
                   bench.knob->setProperty("glowGain", gain);
                   bench.redraw();
               }));

        Bench doubled(resources, 2);  // a 2x display: the pointer image is made at 2x
        report("redraw after a value change, 2x display scale",
               measure(20, 500, [&] { doubled.redraw(); }));
        report("redraw after the pointer image was discarded, 2x", measure(5, 100, [&] {
                   doubled.knob->setProperty("glowGain", gain);
                   doubled.redraw();
               }));

        // The one step a value change needs: the cached pointer image drawn turned.
        Gdiplus::Graphics* graphics = bench.context.getGraphics();
        report("  part: the turned pointer image alone", measure(20, 500, [&] {
                   bench.turn();
                   const Gdiplus::GraphicsState state = graphics->Save();
                   graphics->SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
                   graphics->SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
                   Gdiplus::Matrix rotation;
                   rotation.RotateAt(bench.value * 240.f - 210.f, Gdiplus::PointF(123, 80));
                   graphics->MultiplyTransform(&rotation);
                   graphics->DrawImage(bench.knob->getPointerCache(), 83.f, 40.f);
                   graphics->Restore(state);
               }));
        // The rest of the face: warm redraws with one part left out.
        const char* const without[][3] = {
            {"  warm redraw without the tick marks", "tickMarks", "[]"},
            {"  warm redraw without the shadow", "shadowRadius", "0"},
            {"  warm redraw without the cap (image, tint)", "capRadius", "0"}};
        for (const auto& part : without) {
            Bench lighter(resources);
            lighter.knob->setProperty(part[1], json(part[2]));
            report(part[0], measure(20, 500, [&] { lighter.redraw(); }));
        }
    }
    corvane::vst::releaseGdiplus();
    return 0;
}
