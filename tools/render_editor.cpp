// Draws the plug-in's editor, as it looks at a given delay, into a PNG file:
//   render_editor <delay in ms, -400..400> <output.png> [display scale, 0.5..4] [sample rate]
// With a sample rate the readout shows the delay in samples too, as once a processor has been
// set up. No window is made; the picture is the frame drawn offscreen at the display scale,
// through GDI+ on Windows (run it under Wine) and through cairo on Linux.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "controller.h"
#include "draw_context.h"
#include "editor.h"
#include "gdiplus_session.h"
#include "png_file.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace {

bool render(double delayMs, const std::string& path, double scale, double rate) {
    Steinberg::Vst::HostApplication host;
    auto* controller = new quenvale::Controller;
    bool written = false;
    if (controller->initialize(&host) == Steinberg::kResultOk) {
        const double normalized = (delayMs / 400.0 + 1.0) / 2.0;
        controller->setParamNormalized(quenvale::Parameters::kParamDelay, normalized);
        if (rate > 0) {
            Steinberg::IPtr<Steinberg::Vst::IMessage> message(new Steinberg::Vst::HostMessage,
                                                              false);
            message->setMessageID("b3");
            message->getAttributes()->setFloat("b3", rate);
            controller->notify(message);
        }
        auto* editor = new quenvale::Editor(controller);
        editor->setContentScaleFactor(
            static_cast<Steinberg::IPlugViewContentScaleSupport::ScaleFactor>(scale));
        if (editor->build() && editor->getFrame()) {
            VSTGUI::CFrame* frame = editor->getFrame();
            Gdiplus::Bitmap bitmap(static_cast<int>(std::lround(frame->getWidth() * scale)),
                                   static_cast<int>(std::lround(frame->getHeight() * scale)),
                                   PixelFormat32bppPARGB);
            {
                VSTGUI::GdiplusDrawContext context(&bitmap, scale);
                frame->drawRect(&context, frame->getViewSize());
            }
            written = corvane::vst::savePng(bitmap, path);
        }
        editor->close();
        editor->release();
        controller->terminate();
    }
    controller->release();
    return written;
}

// The number argv[index] holds, if it is one within low..high; `fallback` when it is absent.
bool number(int argc, char** argv, int index, double low, double high, double fallback,
            double& value) {
    if (index >= argc) {
        value = fallback;
        return true;
    }
    char* end = nullptr;
    value = std::strtod(argv[index], &end);
    return end != argv[index] && *end == '\0' && value >= low && value <= high;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr,
                     "usage: render_editor <delay in ms, -400..400> <output.png> "
                     "[display scale, 0.5..4] [sample rate]\n");
        return 2;
    }
    double delayMs = 0, scale = 1, rate = 0;
    if (!number(argc, argv, 1, -400, 400, 0, delayMs)) {
        std::fprintf(stderr, "render_editor: the delay must be a number from -400 to 400\n");
        return 2;
    }
    if (!number(argc, argv, 3, 0.5, 4, 1, scale)) {
        std::fprintf(stderr, "render_editor: the scale must be a number from 0.5 to 4\n");
        return 2;
    }
    if (!number(argc, argv, 4, 1, 10'000'000, 0, rate)) {
        std::fprintf(stderr, "render_editor: the sample rate must be a number from 1 up\n");
        return 2;
    }
    if (!corvane::vst::acquireGdiplus()) {
        std::fprintf(stderr, "render_editor: GDI+ did not start\n");
        return 1;
    }
    const bool written = render(delayMs, argv[2], scale, rate);
    corvane::vst::releaseGdiplus();
    if (!written) {
        std::fprintf(stderr, "render_editor: could not write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
