// Follows one parameter's automation inside a block: the value moves linearly from where it
// was to each point of the host's queue and reaches the point's value exactly at its offset.
// The first ramp of a block starts at the block's start when the previous block had points,
// and is stretched back to the last point taken when the blocks since had none.
// Audio thread only.
#pragma once

#include <algorithm>
#include <cstdint>

#include "pluginterfaces/vst/ivstparameterchanges.h"

namespace quenvale {

struct ParamRamp {
    using int32 = Steinberg::int32;

    // An offset no block reaches: no point lies ahead.
    static constexpr int32 kNoPoint = 16777216;
    // `lastOffset` of a parameter without points moves back by every block; it stops here, far
    // enough in the past to change nothing audible, instead of leaving the int32 range.
    static constexpr int32 kOldestOffset = -(1 << 30);

    double value = 0.0;
    Steinberg::Vst::IParamValueQueue* queue = nullptr;  // this block's points, not owned
    double step = 0.0;
    int32 pointCount = 0;
    int32 nextIndex = 0;
    int32 nextOffset = kNoPoint;
    double target = 0.0;
    int32 lastOffset = -1;  // relative to the current block; negative: an earlier block
    int32 sampleIndex = -1;

    // Jumps to `start` (construction, a posted state), then follows `q`.
    void restart(double start, Steinberg::Vst::IParamValueQueue* q) noexcept {
        value = start;
        pointCount = 0;
        setQueue(q);
    }

    // Start of a block with this block's queue of the parameter, or null.
    void setQueue(Steinberg::Vst::IParamValueQueue* q) noexcept {
        if (pointCount != 0) {
            lastOffset = -1;
        } else {
            const std::int64_t moved = std::int64_t{lastOffset} - (std::int64_t{sampleIndex} + 1);
            lastOffset = static_cast<int32>(std::max<std::int64_t>(moved, kOldestOffset));
        }
        queue = q;
        pointCount = q ? q->getPointCount() : 0;
        nextIndex = 0;
        sampleIndex = -1;
        nextPoint();
    }

    // Aims at the next usable point: one that can be read and lies after the last one taken.
    void nextPoint() noexcept {
        while (nextIndex < pointCount) {
            int32 offset = 0;
            Steinberg::Vst::ParamValue pointValue = 0.0;
            const Steinberg::tresult result = queue->getPoint(nextIndex, offset, pointValue);
            ++nextIndex;
            if (result != Steinberg::kResultOk || offset <= lastOffset) {
                continue;
            }
            target = pointValue;
            // In double: the distance can exceed the int32 range for hostile offsets.
            step = (target - value) / (static_cast<double>(offset) - lastOffset);
            nextOffset = lastOffset = offset;
            return;
        }
        step = 0.0;
        target = value;
        nextOffset = kNoPoint;
    }

    // A block that renders nothing still takes its points: the value jumps through each usable
    // one in turn and rests on the last, with no step left.
    void reachAllPoints() noexcept {
        while (nextOffset != kNoPoint) {
            value = target;
            nextPoint();
        }
    }

    // Once per sample.
    void advance() noexcept {
        value += step;
        ++sampleIndex;
        if (sampleIndex == nextOffset) {
            value = target;
            nextPoint();
        }
    }

    // How many advances from here only add `step`: those before the point ahead is reached.
    int32 samplesBeforeNextPoint() const noexcept {
        const std::int64_t ahead = std::int64_t{nextOffset} - sampleIndex - 1;
        // A point behind the current sample (a hostile negative offset) is never reached.
        return ahead < 0 ? kNoLimit : static_cast<int32>(std::min<std::int64_t>(ahead, kNoLimit));
    }

    // How many advances from here leave `value` as it is.
    int32 flatSamples() const noexcept { return step == 0.0 ? samplesBeforeNextPoint() : 0; }

    // The same as `samples` (> 0) advances, none of them reaching a point. With a zero step,
    // adding it once has the effect of adding it any number of times (only the sign of a zero
    // can change, once).
    void skip(int32 samples) noexcept {
        value += step;
        sampleIndex += samples;
    }

    static constexpr int32 kNoLimit = 0x7FFFFFFF;
};

}  // namespace quenvale
