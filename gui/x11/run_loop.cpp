#include "run_loop.h"

#include <algorithm>
#include <vector>

namespace VSTGUI::X11 {
namespace {

std::vector<std::shared_ptr<IRunLoop>>& heldLoops() {
    static std::vector<std::shared_ptr<IRunLoop>> loops;
    return loops;
}

}  // namespace

void RunLoop::hold(std::shared_ptr<IRunLoop> loop) {
    if (loop)
        heldLoops().push_back(std::move(loop));
}

void RunLoop::release(const IRunLoop* loop) {
    auto& loops = heldLoops();
    const auto found = std::find_if(loops.rbegin(), loops.rend(),
                                    [loop](const auto& held) { return held.get() == loop; });
    if (found != loops.rend())
        loops.erase(std::next(found).base());
}

std::shared_ptr<IRunLoop> RunLoop::current() {
    return heldLoops().empty() ? nullptr : heldLoops().back();
}

}  // namespace VSTGUI::X11
