// Hands the most recent ProcessorState from the main thread (one writer, `post`) to the audio
// thread (one reader, `take`) without locks and without either side ever waiting.
//
// Two slots and a state word. Each side moves the word only by compare-and-swap through its
// tables below: the writer picks a slot the reader is not reading and not about to read an
// older state from, the reader takes the newest completely written slot.
//
//   word  meaning
//    0    idle, nothing unread
//    1    writer filling slot 1, nothing unread
//    2    slot 1 unread
//    3    reader reading slot 1
//    4    writer filling slot 0, nothing unread
//    6    writer filling slot 0, slot 1 holds an older unread state
//    7    reader reading slot 1, writer filling slot 0
//    8    slot 0 unread
//    9    slot 0 unread, writer filling slot 1
//   11    reader reading slot 1, slot 0 unread
//   12    reader reading slot 0
//   13    reader reading slot 0, writer filling slot 1
//   14    reader reading slot 0, slot 1 unread
//
// Writer:  begin 0->4, 2->6, 3->7, 11->7 (slot 0); 8->9, 12->13, 14->13 (slot 1)
//          end   4->8, 6->8, 7->11, 9->2, 1->2, 13->14
// Reader:  begin 8->12, 9->13 (slot 0); 2->3 (slot 1); nothing pending in 0, 1, 4, 6
//          end   12->0, 3->0, 13->1, 14->2, 7->4, 11->8
//
// Ordering: every compare-and-swap is acquire-release. The writer's end (release) publishes
// the slot to the reader's begin (acquire); the reader's end (release) hands the slot back to
// the writer's next begin (acquire). Slots are 64-bit atomics accessed relaxed, so a state is
// always written and read whole.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <optional>

#include "processor_state.h"

namespace quenvale {

class StateMailbox {
  public:
    // Main thread only.
    void post(const ProcessorState& state) noexcept {
        const std::uint8_t entry = transition(kWriterBegin);
        slots[entry >> 4].store(pack(state), std::memory_order_relaxed);
        transition(kWriterEnd);
    }

    // Audio thread only. The most recent state posted since the last take, if any.
    std::optional<ProcessorState> take() noexcept {
        std::uint32_t w = word.load(std::memory_order_acquire);
        std::uint8_t entry;
        do {
            entry = kReaderBegin[w];
            if (entry >= kNothingPending) {
                return std::nullopt;
            }
        } while (!word.compare_exchange_weak(w, entry & 0xFu, std::memory_order_acq_rel,
                                             std::memory_order_acquire));
        const ProcessorState state = unpack(slots[entry >> 4].load(std::memory_order_relaxed));
        transition(kReaderEnd);
        return state;
    }

  private:
    using Table = std::uint8_t[16];
    // Low nibble: the next word; high nibble: the slot (begin tables), or "nothing pending"
    // from 0x20 up (reader's begin).
    static constexpr Table kWriterBegin = {0x04, 0x00, 0x06, 0x07, 0x00, 0x00, 0x00, 0x00,
                                           0x19, 0x00, 0x00, 0x07, 0x1D, 0x00, 0x1D, 0x00};
    static constexpr Table kWriterEnd = {0x00, 0x02, 0x00, 0x00, 0x08, 0x00, 0x08, 0x0B,
                                         0x00, 0x02, 0x00, 0x00, 0x00, 0x0E, 0x00, 0x00};
    static constexpr Table kReaderBegin = {0x20, 0x21, 0x13, 0x00, 0x24, 0x25, 0x26, 0x00,
                                           0x0C, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    static constexpr Table kReaderEnd = {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04,
                                         0x00, 0x00, 0x00, 0x08, 0x00, 0x01, 0x02, 0x00};
    static constexpr std::uint8_t kNothingPending = 0x20;

    // Moves the word by `table`, retrying while the other side moves it; returns the entry used.
    std::uint8_t transition(const Table& table) noexcept {
        std::uint32_t w = word.load(std::memory_order_acquire);
        while (!word.compare_exchange_weak(w, table[w] & 0xFu, std::memory_order_acq_rel,
                                           std::memory_order_acquire)) {
        }
        return table[w];
    }

    static std::uint64_t pack(const ProcessorState& state) noexcept {
        static_assert(sizeof(ProcessorState) == sizeof(std::uint64_t));
        std::uint64_t bits;
        std::memcpy(&bits, &state.bypass, sizeof state.bypass);
        std::memcpy(reinterpret_cast<char*>(&bits) + sizeof state.bypass, &state.delay,
                    sizeof state.delay);
        return bits;
    }

    static ProcessorState unpack(std::uint64_t bits) noexcept {
        ProcessorState state;
        std::memcpy(&state.bypass, &bits, sizeof state.bypass);
        std::memcpy(&state.delay, reinterpret_cast<const char*>(&bits) + sizeof state.bypass,
                    sizeof state.delay);
        return state;
    }

    static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
    std::atomic<std::uint32_t> word{0};
    std::atomic<std::uint64_t> slots[2] = {};
};

}  // namespace quenvale
