// The lock-free hand-overs between the main thread and the audio thread: StateMailbox (main to
// audio, latest state wins) and PublishedValue (audio to main, latest value wins).
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <thread>

#include "processor_state.h"
#include "published_value.h"
#include "state_mailbox.h"

namespace {

using quenvale::ProcessorState;
using quenvale::PublishedValue;
using quenvale::StateMailbox;

#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr std::uint32_t kStressCount = 100'000;
#else
constexpr std::uint32_t kStressCount = 1'000'000;
#endif
static_assert(kStressCount < (1u << 22), "k and k + 0.5 must be exact floats");
constexpr std::uint32_t kCheckpointEvery = 64;
constexpr std::uint32_t kNotPosted = 0xFFFFFFFFu;

std::uint32_t bitsOf(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

float floatFromBits(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// State number k: both halves carry k, so a state assembled from two different posts shows.
ProcessorState stateNumber(std::uint32_t k) {
    return {static_cast<float>(k), static_cast<float>(k) + 0.5f};
}

// The k of a value from 0, 1, ... kStressCount - 1, or kNotPosted for anything else.
std::uint32_t numberOf(float v) {
    return v >= 0.0f && v < static_cast<float>(kStressCount) && v == std::floor(v)
               ? static_cast<std::uint32_t>(v)
               : kNotPosted;
}

std::uint32_t numberOf(const ProcessorState& s) {
    const std::uint32_t k = numberOf(s.bypass);
    return k != kNotPosted && s.delay == s.bypass + 0.5f ? k : kNotPosted;
}

struct RaceResult {
    std::uint64_t taken = 0, notPosted = 0, notNewer = 0, missedAtCheckpoint = 0;
    std::optional<std::uint32_t> last;
};

// Publishes 0, 1, ... kStressCount - 1 on one thread while another takes continuously; take()
// returns the number it got (kNotPosted for a value never published) or nothing. Every
// kCheckpointEvery values the publisher waits until the taker has taken once more: with
// nothing newer in between, the taker must then hold the value just published. This makes the
// threads interleave even on one processor, and shows values that get lost. After the
// publisher is done the taker takes once more, which must leave it holding the last value.
template <typename Publish, typename Take>
RaceResult race(Publish&& publish, Take&& take) {
    RaceResult r;
    std::atomic<bool> done{false};
    std::atomic<std::uint32_t> checkpoint{0}, acknowledged{0};  // k + 1; 0 for none yet
    std::thread taker([&] {
        std::uint32_t acked = 0;
        for (;;) {
            const bool finished = done.load(std::memory_order_acquire);
            const std::uint32_t reached = checkpoint.load(std::memory_order_acquire);
            if (const std::optional<std::uint32_t> k = take()) {
                ++r.taken;
                if (*k == kNotPosted) {
                    ++r.notPosted;
                } else {
                    if (r.last && *k <= *r.last)
                        ++r.notNewer;
                    r.last = k;
                }
            }
            if (reached != acked) {
                if (r.last != reached - 1)
                    ++r.missedAtCheckpoint;
                acked = reached;
                acknowledged.store(reached, std::memory_order_release);
                std::this_thread::yield();  // let a publisher sharing our processor go on
            }
            if (finished)
                return;
        }
    });
    std::thread publisher([&] {
        for (std::uint32_t k = 0; k < kStressCount; ++k) {
            publish(k);
            if (k % kCheckpointEvery == kCheckpointEvery - 1) {
                checkpoint.store(k + 1, std::memory_order_release);
                while (acknowledged.load(std::memory_order_acquire) != k + 1) {
                    std::this_thread::yield();
                }
            }
        }
        done.store(true, std::memory_order_release);
    });
    publisher.join();
    taker.join();
    return r;
}

void expectOnlyNewerValuesEndingWithTheLast(const RaceResult& r) {
    EXPECT_EQ(r.notPosted, 0u) << "of " << r.taken << " taken";
    EXPECT_EQ(r.notNewer, 0u) << "of " << r.taken << " taken";
    EXPECT_EQ(r.missedAtCheckpoint, 0u)
        << "of " << kStressCount / kCheckpointEvery << " checkpoints";
    ASSERT_TRUE(r.last.has_value());
    EXPECT_EQ(*r.last, kStressCount - 1);
}

TEST(StateMailbox, TakesGiveNothingUntilAPostThenOnlyTheLatestStateAndOnlyOnce) {
    StateMailbox mailbox;
    EXPECT_FALSE(mailbox.take().has_value());
    mailbox.post({1.0f, 0.25f});
    std::optional<ProcessorState> taken = mailbox.take();
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(taken->bypass, 1.0f);
    EXPECT_EQ(taken->delay, 0.25f);
    EXPECT_FALSE(mailbox.take().has_value());
    mailbox.post(stateNumber(1));
    mailbox.post(stateNumber(2));
    taken = mailbox.take();
    ASSERT_TRUE(taken.has_value());
    EXPECT_EQ(numberOf(*taken), 2u);
    EXPECT_FALSE(mailbox.take().has_value());
}

// Runs of zero to three posts between takes, in enough orders that each slot is written and
// read from every position the two-slot protocol can be in between calls.
TEST(StateMailbox, InterleavedPostsAndTakesAlwaysGiveTheLatestUnreadState) {
    StateMailbox mailbox;
    std::uint32_t next = 1;
    const int postsBeforeTake[] = {1, 0, 2, 1, 3, 1, 1, 2, 0, 3, 2, 2, 3, 3, 1, 0, 0, 1};
    for (int round = 0; round < 3; ++round) {
        for (int posts : postsBeforeTake) {
            for (int i = 0; i < posts; ++i) {
                mailbox.post(stateNumber(next++));
            }
            const std::optional<ProcessorState> taken = mailbox.take();
            if (posts == 0) {
                EXPECT_FALSE(taken.has_value()) << "after state " << next - 1;
            } else {
                ASSERT_TRUE(taken.has_value()) << "after state " << next - 1;
                EXPECT_EQ(numberOf(*taken), next - 1);
            }
        }
    }
}

TEST(StateMailbox, StatesPassBitForBitIncludingNaNPayloadsAndNegativeZero) {
    StateMailbox mailbox;
    const std::uint32_t patterns[][2] = {
        {0x7FC00001u, 0x80000000u}, {0xFF800000u, 0x00000001u}, {0x3F000000u, 0x7FA00000u}};
    for (const auto& p : patterns) {
        mailbox.post({floatFromBits(p[0]), floatFromBits(p[1])});
        const std::optional<ProcessorState> taken = mailbox.take();
        ASSERT_TRUE(taken.has_value());
        EXPECT_EQ(bitsOf(taken->bypass), p[0]);
        EXPECT_EQ(bitsOf(taken->delay), p[1]);
    }
}

// The main thread posting states 0, 1, 2, ... while the audio thread takes continuously.
TEST(StateMailboxStress, AReaderRacingTheWriterSeesOnlyWholeNewerStatesAndFinallyTheLast) {
    StateMailbox mailbox;
    const RaceResult r = race([&](std::uint32_t k) { mailbox.post(stateNumber(k)); },
                              [&]() -> std::optional<std::uint32_t> {
                                  const std::optional<ProcessorState> s = mailbox.take();
                                  if (!s)
                                      return std::nullopt;
                                  return numberOf(*s);
                              });
    expectOnlyNewerValuesEndingWithTheLast(r);
    EXPECT_FALSE(mailbox.take().has_value());
}

TEST(PublishedValue, TakesGiveNothingUntilAPublishThenTheLatestValueOnlyOnce) {
    PublishedValue cell;
    EXPECT_FALSE(cell.take().has_value());
    cell.publish(0.25f);
    EXPECT_EQ(cell.take(), 0.25f);
    EXPECT_FALSE(cell.take().has_value());
    cell.publish(0.0f);
    cell.publish(1.0f);
    EXPECT_EQ(cell.take(), 1.0f);
    EXPECT_FALSE(cell.take().has_value());
}

TEST(PublishedValue, ZeroInfinityAndNegativeValuesAreValuesButAnyNaNEmptiesTheCell) {
    PublishedValue cell;
    for (float v : {0.0f, -0.0f, -1.0f, std::numeric_limits<float>::infinity(),
                    std::numeric_limits<float>::denorm_min()}) {
        cell.publish(v);
        const std::optional<float> taken = cell.take();
        ASSERT_TRUE(taken.has_value()) << v;
        EXPECT_EQ(bitsOf(*taken), bitsOf(v));
    }
    for (float nan :
         {PublishedValue::kEmpty, -PublishedValue::kEmpty, floatFromBits(0x7FA00000u)}) {
        cell.publish(0.5f);
        cell.publish(nan);
        EXPECT_FALSE(cell.take().has_value()) << bitsOf(nan);
    }
}

// The audio thread publishing 0, 1, 2, ... while the main thread takes continuously.
TEST(PublishedValueStress, ValuesTakenWhileTheAudioThreadPublishesOnlyIncrease) {
    PublishedValue cell;
    const RaceResult r = race([&](std::uint32_t k) { cell.publish(static_cast<float>(k)); },
                              [&]() -> std::optional<std::uint32_t> {
                                  const std::optional<float> v = cell.take();
                                  if (!v)
                                      return std::nullopt;
                                  return numberOf(*v);
                              });
    expectOnlyNewerValuesEndingWithTheLast(r);
    EXPECT_FALSE(cell.take().has_value());
}

}  // namespace
