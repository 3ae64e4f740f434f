// Drives the processor as a careless host would: any sample rate (also ones it must refuse),
// mono, stereo, six channels or none, 32- and 64-bit blocks of any length (also longer than
// announced, empty or negative), in place or not, and parameter-change lists with any ids,
// point counts that lie, failing points, offsets anywhere and values that are NaN, infinite or
// outside 0..1; between blocks states are loaded and saved, the delay is sent as the
// controller sends it, and processing is set up again.
//
// Whatever the input, nothing may crash, leak or touch memory it was not given, and from a
// well-formed block of finite input (64-bit samples within the float range, since the delay
// line keeps floats): the answer is kResultOk, the input is left as it was, and every output
// sample is finite, not denormal, and no larger in magnitude than the largest input sample
// the engine has seen (the output only mixes the current sample with a delayed one). The
// reported latency stays within 400 ms, and the saved state always loads again.
//
// Input layout (little-endian, see FuzzInput): a set-up (rate selector, layout byte, block
// size), then commands, each a byte chosen modulo 8: 0-3 a block, 4 a state load, 5 a new
// set-up, 6 save and reload, 7 a delay message.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "processor.h"
#include "public.sdk/source/common/memorystream.h"
#include "public.sdk/source/vst/hosting/hostclasses.h"

namespace {

using fuzzing::FuzzInput;
using Steinberg::int32;
using Steinberg::IPtr;
using Steinberg::kResultOk;
using Steinberg::MemoryStream;
using Steinberg::tresult;
using Steinberg::uint32;
using Steinberg::Vst::ParamID;
using Steinberg::Vst::ParamValue;

// Work per input is bounded so that every input runs in milliseconds.
constexpr int kMaxCommands = 48;
constexpr std::int64_t kMaxFramesPerInput = 1 << 17;

// Rates a host may announce, and ones the processor must refuse (the last five).
const double kRates[] = {8000,
                         22050,
                         44100,
                         48000,
                         88200,
                         96000,
                         176400,
                         192000,
                         384000,
                         1,
                         2,
                         2.9,
                         3,
                         4,
                         7,
                         100,
                         1000,
                         0.5,
                         1e7,
                         0,
                         -48000,
                         1e7 + 1.0,
                         std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN()};

double readRate(FuzzInput& in) {
    const std::uint8_t selector = in.u8();
    if (selector >= 0xF0)
        return in.f64();
    return kRates[selector % std::size(kRates)];
}

// Normalized values worth trying, then any 64-bit pattern.
ParamValue readValue(FuzzInput& in) {
    static const ParamValue kValues[] = {0.0,
                                         1.0,
                                         0.5,
                                         0.375,
                                         0.5025,
                                         0.49999999,
                                         -1.0,
                                         2.0,
                                         1e300,
                                         -1e300,
                                         std::numeric_limits<double>::denorm_min(),
                                         std::numeric_limits<double>::quiet_NaN(),
                                         std::numeric_limits<double>::infinity(),
                                         -std::numeric_limits<double>::infinity(),
                                         std::numeric_limits<double>::max(),
                                         -0.0};
    const std::uint8_t selector = in.u8();
    if (selector >= 0xF0)
        return in.f64();
    return kValues[selector % std::size(kValues)];
}

Steinberg::Vst::SpeakerArrangement readArrangement(std::uint8_t layout) {
    switch (layout & 3) {
        case 0:
            return Steinberg::Vst::SpeakerArr::kStereo;
        case 1:
            return Steinberg::Vst::SpeakerArr::kMono;
        case 2:
            return Steinberg::Vst::SpeakerArr::k51;
        default:
            return Steinberg::Vst::SpeakerArr::kEmpty;
    }
}

// One parameter's queue as a host may hand it over: the count it declares need not match the
// points it holds, and any point may fail to be read.
class Queue final : public Steinberg::Vst::IParamValueQueue {
  public:
    struct Point {
        int32 offset;
        ParamValue value;
        bool fails;
    };
    ParamID id = 0;
    int32 declared = 0;
    std::vector<Point> points;

    tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** obj) override {
        *obj = nullptr;
        return Steinberg::kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
    ParamID PLUGIN_API getParameterId() override { return id; }
    int32 PLUGIN_API getPointCount() override { return declared; }
    tresult PLUGIN_API getPoint(int32 index, int32& offset, ParamValue& value) override {
        if (index < 0 || index >= static_cast<int32>(points.size()) || points[index].fails)
            return Steinberg::kResultFalse;
        offset = points[index].offset;
        value = points[index].value;
        return kResultOk;
    }
    tresult PLUGIN_API addPoint(int32, ParamValue, int32&) override {
        return Steinberg::kResultFalse;
    }
};

// The block's list; an entry may be missing (null), and the count may overstate the entries.
class Changes final : public Steinberg::Vst::IParameterChanges {
  public:
    std::vector<Queue> queues;
    std::vector<bool> missing;
    int32 declared = 0;

    tresult PLUGIN_API queryInterface(const Steinberg::TUID, void** obj) override {
        *obj = nullptr;
        return Steinberg::kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
    int32 PLUGIN_API getParameterCount() override { return declared; }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(int32 index) override {
        if (index < 0 || index >= static_cast<int32>(queues.size()) || missing[index])
            return nullptr;
        return &queues[index];
    }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const ParamID&, int32&) override {
        return nullptr;
    }
};

int32 readOffset(FuzzInput& in, std::uint8_t flags, int32 samples, int32 previous) {
    if (flags & 4)
        return in.i32();
    const std::uint8_t selector = in.u8();
    switch (selector) {
        case 0xF8:
            return previous;  // repeated
        case 0xF9:
            return samples;  // just past the block
        case 0xFA:
            return -1;
        case 0xFB:
            return std::numeric_limits<int32>::max();
        case 0xFC:
            return std::numeric_limits<int32>::min();
        case 0xFD:
            return samples - 1;
        default:
            // Spread over the block, in order of the selector.
            return static_cast<int32>(std::int64_t{std::max(samples, 1)} * selector / 0xF8);
    }
}

void readChanges(FuzzInput& in, Changes& changes, int32 samples) {
    const int count = in.u8() % 5;
    changes.queues.resize(static_cast<std::size_t>(count));
    changes.missing.assign(static_cast<std::size_t>(count), false);
    for (int q = 0; q < count; ++q) {
        Queue& queue = changes.queues[static_cast<std::size_t>(q)];
        const std::uint8_t idSelector = in.u8();
        static const ParamID kIds[] = {0, 1, 0, 1, 2, 0xFFFFFFFFu, 0x80000000u};
        queue.id = kIds[idSelector % std::size(kIds)];
        changes.missing[static_cast<std::size_t>(q)] = idSelector == 0xFF;
        const int points = in.u8() % 17;
        const int lie = static_cast<std::int8_t>(in.u8()) % 3;  // -2..2
        queue.declared = points + lie;
        int32 previous = 0;
        for (int p = 0; p < points; ++p) {
            const std::uint8_t flags = in.u8();
            const int32 offset = readOffset(in, flags, samples, previous);
            const ParamValue value = (flags & 2) ? in.f64() : readValue(in);
            queue.points.push_back({offset, value, (flags & 1) != 0});
            previous = offset;
        }
    }
    changes.declared = count + (in.u8() % 3 == 0 ? 1 : 0);  // sometimes one more than there is
}

template <typename Sample>
bool denormal(Sample x) {
    return std::fpclassify(x) == FP_SUBNORMAL;
}

// A block's input signal, finite throughout.
template <typename Sample>
void fillSignal(FuzzInput& in, std::uint8_t kind, std::vector<std::vector<Sample>>& channels) {
    std::uint32_t seed = in.u32();
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed;
    };
    const auto noise = [&] { return static_cast<double>(next() >> 8) / 8388608.0 - 1.0; };
    // The delay line keeps floats, and a double beyond the float range would be kept as
    // infinity: doubles stay within the float range here, as audio does.
    const Sample largest = static_cast<Sample>(std::numeric_limits<float>::max());
    std::vector<Sample> pattern;
    if (kind == 3) {
        const int length = 1 + in.u8() % 16;
        for (int i = 0; i < length; ++i) {
            const Sample x =
                sizeof(Sample) == 4 ? static_cast<Sample>(in.f32()) : static_cast<Sample>(in.f64());
            pattern.push_back(std::isfinite(x) ? std::max(std::min(x, largest), -largest)
                                               : Sample(0));
        }
    }
    const Sample smallest = std::numeric_limits<Sample>::denorm_min();
    for (auto& channel : channels) {
        for (std::size_t i = 0; i < channel.size(); ++i) {
            Sample x = 0;
            switch (kind) {
                case 0:
                    x = static_cast<Sample>(noise());
                    break;
                case 1:  // denormals only
                    x = smallest * static_cast<Sample>(next() % 1000 + 1) *
                        ((next() & 1) ? Sample(1) : Sample(-1));
                    break;
                case 2:
                    x = 0;
                    break;
                case 3:
                    x = pattern[i % pattern.size()];
                    break;
                case 4:
                    x = (next() & 1) ? largest : -largest;
                    break;
                case 5:
                    x = i % 97 == 0 ? Sample(1) : Sample(0);
                    break;
                case 6:
                    x = static_cast<Sample>(noise() * 1e30);
                    break;
                default:  // normal and denormal mixed, the smallest normals among them
                    x = (next() & 1) ? static_cast<Sample>(noise())
                                     : std::numeric_limits<Sample>::min() * Sample(0.5);
                    break;
            }
            channel[i] = x;
        }
    }
}

struct Run {
    IPtr<quenvale::Processor> processor;
    bool hasEngine = false;
    int32 sampleSize = Steinberg::Vst::kSample32;
    int32 channels = 0;       // of the current engine
    double engineRate = 0;    // of the current engine
    double loudest = 0;       // largest input magnitude the current engine has seen
    std::int64_t frames = 0;  // rendered so far for this input
};

void checkLatency(Run& run) {
    if (!run.hasEngine)
        return;
    const double most = std::floor(run.engineRate * 0.4) + 1;
    FUZZ_CHECK(static_cast<double>(run.processor->getLatencySamples()) <= most);
}

void setUp(Run& run, FuzzInput& in) {
    const double rate = readRate(in);
    const std::uint8_t layout = in.u8();
    const int32 maxBlock = in.u16();
    run.processor->setActive(false);
    Steinberg::Vst::SpeakerArrangement arrangement = readArrangement(layout);
    Steinberg::Vst::SpeakerArrangement output = arrangement;
    run.processor->setBusArrangements(&arrangement, 1, &output, 1);
    const int32 sampleSize = (layout & 4) ? Steinberg::Vst::kSample64 : Steinberg::Vst::kSample32;
    Steinberg::Vst::ProcessSetup setup{Steinberg::Vst::kRealtime, sampleSize, maxBlock, rate};
    const bool valid = rate > 0 && rate <= 1e7;
    const tresult result = run.processor->setupProcessing(setup);
    if (!valid || Steinberg::Vst::SpeakerArr::getChannelCount(arrangement) == 0)
        FUZZ_CHECK(result != kResultOk);
    if (result == kResultOk) {
        run.hasEngine = true;
        run.sampleSize = sampleSize;
        run.channels = Steinberg::Vst::SpeakerArr::getChannelCount(arrangement);
        run.engineRate = rate;
        run.loudest = 0;
    }
    run.processor->setActive(true);
    run.processor->setProcessing(true);
    checkLatency(run);
}

template <typename Sample>
Sample** buffersOf(Steinberg::Vst::AudioBusBuffers& bus);
template <>
float** buffersOf<float>(Steinberg::Vst::AudioBusBuffers& bus) {
    return bus.channelBuffers32;
}
template <>
double** buffersOf<double>(Steinberg::Vst::AudioBusBuffers& bus) {
    return bus.channelBuffers64;
}
void setBuffers(Steinberg::Vst::AudioBusBuffers& bus, float** buffers) {
    bus.channelBuffers32 = buffers;
}
void setBuffers(Steinberg::Vst::AudioBusBuffers& bus, double** buffers) {
    bus.channelBuffers64 = buffers;
}

template <typename Sample>
void processBlock(Run& run, FuzzInput& in, int32 samples, std::uint8_t flags) {
    const bool inPlace = (flags & 2) != 0;
    const bool malformed = (flags & 4) != 0;
    const std::uint8_t signal = (flags >> 3) & 7;
    const bool noChanges = (flags & 0x40) != 0;
    const std::uint8_t damage = malformed ? in.u8() : 0;

    Changes changes;
    readChanges(in, changes, samples);

    const int32 channels = run.hasEngine ? run.channels : 2;
    const std::size_t length = static_cast<std::size_t>(std::max(samples, 0));
    std::vector<std::vector<Sample>> inputs(static_cast<std::size_t>(channels),
                                            std::vector<Sample>(length));
    fillSignal(in, signal, inputs);
    const std::vector<std::vector<Sample>> original = inputs;
    std::vector<std::vector<Sample>> outputs(static_cast<std::size_t>(channels),
                                             std::vector<Sample>(length, Sample(-7)));
    std::vector<Sample*> inputPointers;
    std::vector<Sample*> outputPointers;
    for (int32 c = 0; c < channels; ++c) {
        inputPointers.push_back(inputs[c].data());
        outputPointers.push_back(inPlace ? inputs[c].data() : outputs[c].data());
    }

    Steinberg::Vst::AudioBusBuffers inputBus;
    Steinberg::Vst::AudioBusBuffers outputBus;
    inputBus.numChannels = outputBus.numChannels = channels;
    setBuffers(inputBus, inputPointers.data());
    setBuffers(outputBus, outputPointers.data());
    Steinberg::Vst::ProcessData data;
    data.processMode = Steinberg::Vst::kRealtime;
    data.symbolicSampleSize =
        sizeof(Sample) == 4 ? Steinberg::Vst::kSample32 : Steinberg::Vst::kSample64;
    data.numSamples = samples;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &inputBus;
    data.outputs = &outputBus;
    data.inputParameterChanges = noChanges ? nullptr : &changes;

    // What a broken host hands over; each must be refused or survived, never followed.
    std::vector<Sample*> holes(static_cast<std::size_t>(channels) + 1, nullptr);
    switch (damage % 8) {
        case 1:
            data.numInputs = 0;
            break;
        case 2:
            data.inputs = nullptr;
            break;
        case 3:
            data.outputs = nullptr;
            break;
        case 4:
            setBuffers(inputBus, static_cast<Sample**>(nullptr));
            break;
        case 5:
            setBuffers(outputBus, holes.data());
            break;
        case 6:
            outputBus.numChannels = channels - 1;  // fewer outputs than inputs
            break;
        case 7:
            inputBus.numChannels = channels + 1;  // more than the engine was built for
            break;
        default:
            data.numOutputs = 0;
            break;
    }
    if (!malformed) {
        data.numInputs = data.numOutputs = 1;
        data.inputs = &inputBus;
        data.outputs = &outputBus;
        inputBus.numChannels = outputBus.numChannels = channels;
        setBuffers(inputBus, inputPointers.data());
        setBuffers(outputBus, outputPointers.data());
    }

    for (const auto& channel : inputs) {
        for (const Sample x : channel)
            run.loudest = std::max(run.loudest, std::fabs(static_cast<double>(x)));
    }
    const tresult result = run.processor->process(data);
    run.frames += static_cast<std::int64_t>(length);
    if (malformed)
        return;
    FUZZ_CHECK(result == (run.hasEngine ? kResultOk : Steinberg::kResultFalse));
    if (!run.hasEngine || samples <= 0)
        return;

    // The engine's line stores floats, so a delayed sample can be one float rounding larger.
    const double limit = run.loudest * (1.0 + 1e-6);
    for (int32 c = 0; c < channels; ++c) {
        const Sample* out = buffersOf<Sample>(outputBus)[c];
        for (std::size_t i = 0; i < length; ++i) {
            FUZZ_CHECK(std::isfinite(out[i]));
            FUZZ_CHECK(!denormal(out[i]));
            FUZZ_CHECK(std::fabs(static_cast<double>(out[i])) <= limit);
        }
        if (!inPlace)
            FUZZ_CHECK(std::memcmp(inputs[c].data(), original[c].data(), length * sizeof(Sample)) ==
                       0);
    }
}

void block(Run& run, FuzzInput& in) {
    const std::uint16_t size = in.u16();
    int32 samples = size & 0x3FFF;
    if (size & 0x8000)
        samples *= 8;  // up to about 131000
    if (size & 0x4000)
        samples = -samples;  // empty and negative blocks
    const std::uint8_t flags = in.u8();
    if (run.frames + std::max(samples, 0) > kMaxFramesPerInput)
        samples = 0;
    const bool wide = (run.sampleSize == Steinberg::Vst::kSample64) != ((flags & 1) != 0);
    if (wide)
        processBlock<double>(run, in, samples, flags);
    else
        processBlock<float>(run, in, samples, flags);
}

std::string savedState(quenvale::Processor& processor) {
    IPtr<MemoryStream> stream(new MemoryStream, false);
    FUZZ_CHECK(processor.getState(stream) == kResultOk);  // values kept are always finite
    return std::string(stream->getData(), static_cast<std::size_t>(stream->getSize()));
}

IPtr<MemoryStream> streamOf(const std::string& bytes) {
    IPtr<MemoryStream> stream(new MemoryStream, false);
    Steinberg::int32 written = 0;
    stream->write(const_cast<char*>(bytes.data()), static_cast<Steinberg::int32>(bytes.size()),
                  &written);
    stream->seek(0, Steinberg::IBStream::kIBSeekSet, nullptr);
    return stream;
}

// A state document with two numbers of the fuzzer's choosing (JSON has no NaN or infinity:
// those become out-of-range numbers).
void loadState(Run& run, FuzzInput& in) {
    const auto number = [](double v) {
        if (std::isnan(v))
            return std::string("-1e999");  // beyond double: the load is refused
        if (std::isinf(v))
            return std::string(v > 0 ? "3.5e38" : "-3.5e38");  // beyond float
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", v);
        return std::string(text);
    };
    const std::string json =
        "{\"bypass\":" + number(readValue(in)) + ",\"delay\":" + number(readValue(in)) + "}";
    const auto size = static_cast<std::uint32_t>(json.size());
    std::string bytes{static_cast<char>(size), static_cast<char>(size >> 8),
                      static_cast<char>(size >> 16), static_cast<char>(size >> 24)};
    bytes += json;
    run.processor->setState(streamOf(bytes));
    checkLatency(run);
}

void saveAndReload(Run& run) {
    const std::string saved = savedState(*run.processor);
    FUZZ_CHECK(run.processor->setState(streamOf(saved)) == kResultOk);
    FUZZ_CHECK(savedState(*run.processor) == saved);
    checkLatency(run);
}

// "u0" as the controller sends it.
void sendDelay(Run& run, FuzzInput& in) {
    IPtr<Steinberg::Vst::HostMessage> message(new Steinberg::Vst::HostMessage, false);
    message->setMessageID("u0");
    message->getAttributes()->setFloat("uk0", readValue(in));
    run.processor->notify(message);
    checkLatency(run);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static auto* host = new Steinberg::Vst::HostApplication;
    FuzzInput in(data, size);
    Run run;
    run.processor = IPtr<quenvale::Processor>(new quenvale::Processor, false);
    FUZZ_CHECK(run.processor->initialize(host) == kResultOk);
    setUp(run, in);
    for (int command = 0; command < kMaxCommands && !in.exhausted(); ++command) {
        switch (in.u8() % 8) {
            case 4:
                loadState(run, in);
                break;
            case 5:
                setUp(run, in);
                break;
            case 6:
                saveAndReload(run);
                break;
            case 7:
                sendDelay(run, in);
                break;
            default:
                block(run, in);
                break;
        }
    }
    saveAndReload(run);
    run.processor->setProcessing(false);
    run.processor->setActive(false);
    run.processor->terminate();
    return 0;
}
