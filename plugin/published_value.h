// One parameter value handed from the audio thread to the main thread. The audio thread
// overwrites the cell with each new value; the main thread takes it, leaving the cell empty,
// so a value is taken at most once. The quiet NaN 0x7FC00000 marks an empty cell.
#pragma once

#include <atomic>
#include <cmath>
#include <limits>
#include <optional>

namespace quenvale {

class PublishedValue {
  public:
    // Audio thread. A plain store: only the value matters, no other memory is published with it.
    void publish(float value) noexcept { cell.store(value, std::memory_order_relaxed); }

    // Main thread. The load spares the exchange when nothing is there; the exchange makes sure
    // a value stored between the load and the exchange is not lost.
    std::optional<float> take() noexcept {
        if (std::isnan(cell.load(std::memory_order_relaxed))) {
            return std::nullopt;
        }
        const float value = cell.exchange(kEmpty, std::memory_order_relaxed);
        if (std::isnan(value)) {
            return std::nullopt;
        }
        return value;
    }

    static constexpr float kEmpty = std::numeric_limits<float>::quiet_NaN();

  private:
    static_assert(std::atomic<float>::is_always_lock_free);
    std::atomic<float> cell{kEmpty};
};

}  // namespace quenvale
