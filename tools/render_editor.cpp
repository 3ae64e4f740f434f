// Draws the plug-in's editor, as it looks at a given delay, into a PNG file:
//   render_editor <delay in ms, -400..400> <output.png>
// No window is made; the picture is the frame drawn offscreen. Windows only (runs under Wine).
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

bool render(double delayMs, const std::string& path) {
    Steinberg::Vst::HostApplication host;
    auto* controller = new quenvale::Controller;
    bool written = false;
    if (controller->initialize(&host) == Steinberg::kResultOk) {
        const double normalized = (delayMs / 400.0 + 1.0) / 2.0;
        controller->setParamNormalized(quenvale::Parameters::kParamDelay, normalized);
        auto* editor = new quenvale::Editor(controller);
        if (editor->build() && editor->getFrame()) {
            VSTGUI::CFrame* frame = editor->getFrame();
            Gdiplus::Bitmap bitmap(static_cast<INT>(frame->getWidth()),
                                   static_cast<INT>(frame->getHeight()), PixelFormat32bppPARGB);
            {
                VSTGUI::GdiplusDrawContext context(&bitmap);
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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: render_editor <delay in ms, -400..400> <output.png>\n");
        return 2;
    }
    char* end = nullptr;
    const double delayMs = std::strtod(argv[1], &end);
    if (end == argv[1] || *end != '\0' || !(delayMs >= -400 && delayMs <= 400)) {
        std::fprintf(stderr, "render_editor: the delay must be a number from -400 to 400\n");
        return 2;
    }
    if (!corvane::vst::acquireGdiplus()) {
        std::fprintf(stderr, "render_editor: GDI+ did not start\n");
        return 1;
    }
    const bool written = render(delayMs, argv[2]);
    corvane::vst::releaseGdiplus();
    if (!written) {
        std::fprintf(stderr, "render_editor: could not write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
