#include "speech/VoiceFormat.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>

namespace talvero {

namespace {

// The rows in the combo's order: each rate with 8 and 16 bits, each mono then stereo.
constexpr VoiceFormatRow kRows[kVoiceFormatCount] = {
    {"8kHz 8 Bit Mono", 4, {8000, 8, 1}},      {"8kHz 8 Bit Stereo", 5, {8000, 8, 2}},
    {"8kHz 16 Bit Mono", 6, {8000, 16, 1}},    {"8kHz 16 Bit Stereo", 7, {8000, 16, 2}},
    {"11kHz 8 Bit Mono", 8, {11025, 8, 1}},    {"11kHz 8 Bit Stereo", 9, {11025, 8, 2}},
    {"11kHz 16 Bit Mono", 10, {11025, 16, 1}}, {"11kHz 16 Bit Stereo", 11, {11025, 16, 2}},
    {"12kHz 8 Bit Mono", 12, {12000, 8, 1}},   {"12kHz 8 Bit Stereo", 13, {12000, 8, 2}},
    {"12kHz 16 Bit Mono", 14, {12000, 16, 1}}, {"12kHz 16 Bit Stereo", 15, {12000, 16, 2}},
    {"16kHz 8 Bit Mono", 16, {16000, 8, 1}},   {"16kHz 8 Bit Stereo", 17, {16000, 8, 2}},
    {"16kHz 16 Bit Mono", 18, {16000, 16, 1}}, {"16kHz 16 Bit Stereo", 19, {16000, 16, 2}},
    {"22kHz 8 Bit Mono", 20, {22050, 8, 1}},   {"22kHz 8 Bit Stereo", 21, {22050, 8, 2}},
    {"22kHz 16 Bit Mono", 22, {22050, 16, 1}}, {"22kHz 16 Bit Stereo", 23, {22050, 16, 2}},
    {"24kHz 8 Bit Mono", 24, {24000, 8, 1}},   {"24kHz 8 Bit Stereo", 25, {24000, 8, 2}},
    {"24kHz 16 Bit Mono", 26, {24000, 16, 1}}, {"24kHz 16 Bit Stereo", 27, {24000, 16, 2}},
    {"32kHz 8 Bit Mono", 28, {32000, 8, 1}},   {"32kHz 8 Bit Stereo", 29, {32000, 8, 2}},
    {"32kHz 16 Bit Mono", 30, {32000, 16, 1}}, {"32kHz 16 Bit Stereo", 31, {32000, 16, 2}},
    {"44kHz 8 Bit Mono", 32, {44100, 8, 1}},   {"44kHz 8 Bit Stereo", 33, {44100, 8, 2}},
    {"44kHz 16 Bit Mono", 34, {44100, 16, 1}}, {"44kHz 16 Bit Stereo", 35, {44100, 16, 2}},
    {"48kHz 8 Bit Mono", 36, {48000, 8, 1}},   {"48kHz 8 Bit Stereo", 37, {48000, 8, 2}},
    {"48kHz 16 Bit Mono", 38, {48000, 16, 1}}, {"48kHz 16 Bit Stereo", 39, {48000, 16, 2}},
};

}  // namespace

const VoiceFormatRow* VoiceFormatAt(int row)
{
    return row >= 0 && row < kVoiceFormatCount ? &kRows[row] : nullptr;
}

int VoiceFormatRowOf(const AudioFormat& format)
{
    for (int row = 0; row < kVoiceFormatCount; ++row)
        if (kRows[row].format == format) return row;
    return -1;
}

struct AudioConverter::Resampler {
    soxr_t soxr = nullptr;
    double ratio = 1;
    std::vector<float> buffer;
    ~Resampler() { soxr_delete(soxr); }
};

AudioConverter::AudioConverter(int inputRate, const AudioFormat& out) : format(out)
{
    if (inputRate == out.rate) return;
    auto r = std::make_unique<Resampler>();
    soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    soxr_quality_spec_t quality = soxr_quality_spec(SOXR_MQ, 0);
    soxr_error_t error = nullptr;
    r->soxr = soxr_create(inputRate, out.rate, 1, &error, &io, &quality, nullptr);
    r->ratio = double(out.rate) / inputRate;
    // Without a resampler the samples pass at the input rate: wrong pitch beats silence, and
    // soxr only fails to create on exhausted memory.
    if (!error && r->soxr) resampler = std::move(r);
}

AudioConverter::~AudioConverter() = default;

void AudioConverter::Convert(const std::int16_t* samples, std::size_t count, int volume,
                             std::vector<std::uint8_t>& out)
{
    // Float on both sides keeps the 16-bit scale (soxr would normalise integers to +-1).
    std::vector<float> in(samples, samples + count);
    if (!resampler) {
        Emit(in.data(), in.size(), volume, out);
        return;
    }
    Resampler& r = *resampler;
    r.buffer.resize(std::size_t(count * r.ratio) + 64);
    std::size_t done = 0;
    soxr_process(r.soxr, in.data(), count, nullptr, r.buffer.data(), r.buffer.size(), &done);
    Emit(r.buffer.data(), done, volume, out);
}

void AudioConverter::Flush(int volume, std::vector<std::uint8_t>& out)
{
    if (!resampler) return;
    Resampler& r = *resampler;
    r.buffer.resize(4096);
    for (;;) {
        std::size_t done = 0;
        soxr_process(r.soxr, nullptr, 0, nullptr, r.buffer.data(), r.buffer.size(), &done);
        if (done == 0) break;
        Emit(r.buffer.data(), done, volume, out);
    }
}

void AudioConverter::Emit(const float* samples, std::size_t count, int volume,
                          std::vector<std::uint8_t>& out)
{
    const float gain = std::clamp(volume, 0, 100) / 100.0f;
    const int frameBytes = format.FrameBytes();
    std::size_t at = out.size();
    out.resize(at + count * frameBytes);
    std::uint8_t* p = out.data() + at;
    for (std::size_t i = 0; i < count; ++i) {
        long s = std::lround(std::clamp(samples[i] * gain, -32768.0f, 32767.0f));
        for (int c = 0; c < format.channels; ++c) {
            if (format.bits == 8) {
                *p++ = std::uint8_t(std::min((s + 32768 + 128) >> 8, 255L));
            } else {
                *p++ = std::uint8_t(s & 0xff);
                *p++ = std::uint8_t((s >> 8) & 0xff);
            }
        }
    }
}

}  // namespace talvero
