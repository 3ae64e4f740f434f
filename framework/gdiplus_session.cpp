#include "gdiplus_session.h"

#include "gdiplus_api.h"

#include <mutex>

namespace corvane::vst {

namespace {

std::mutex guard;
int users = 0;
ULONG_PTR token = 0;

}  // namespace

bool acquireGdiplus() {
    const std::lock_guard<std::mutex> lock(guard);
    if (users == 0) {
        Gdiplus::GdiplusStartupInput input;
        if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) {
            return false;
        }
    }
    ++users;
    return true;
}

void releaseGdiplus() {
    const std::lock_guard<std::mutex> lock(guard);
    if (users == 0) {
        return;
    }
    if (--users == 0) {
        Gdiplus::GdiplusShutdown(token);
        token = 0;
    }
}

}  // namespace corvane::vst
