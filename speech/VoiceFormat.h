#pragma once
// The voice's 36 output formats and the conversion of the synthesizer's samples into one of them.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace talvero {

struct AudioFormat {
    int rate = 22050;  // samples per second
    int bits = 16;     // 8 (unsigned) or 16 (signed, little-endian)
    int channels = 1;  // 1 or 2
    int FrameBytes() const { return bits / 8 * channels; }
    int BytesPerSecond() const { return rate * FrameBytes(); }
    bool operator==(const AudioFormat&) const = default;
};

struct VoiceFormatRow {
    const char* text;  // as the format combo lists it, e.g. "22kHz 16 Bit Mono"
    int formatNumber;  // the stream-format number the row stands for (4 ... 39)
    AudioFormat format;
};

constexpr int kVoiceFormatCount = 36;
// The synthesizer's own format, and the voice's output until another row is chosen.
constexpr int kDefaultVoiceFormatRow = 18;  // "22kHz 16 Bit Mono"

// Row 0 ... 35; nullptr outside.
const VoiceFormatRow* VoiceFormatAt(int row);
// The row whose format equals `format`, or -1.
int VoiceFormatRowOf(const AudioFormat& format);

// Converts a stream of 16-bit mono samples at `inputRate` into `out`'s rate, bits and channels,
// scaled by a volume of 0 ... 100. One converter per spoken stream: resampling keeps state
// between calls, Flush() hands out what it still holds.
class AudioConverter {
public:
    AudioConverter(int inputRate, const AudioFormat& out);
    ~AudioConverter();
    AudioConverter(const AudioConverter&) = delete;
    AudioConverter& operator=(const AudioConverter&) = delete;

    // Appends the converted bytes of `samples` to `out`.
    void Convert(const std::int16_t* samples, std::size_t count, int volume,
                 std::vector<std::uint8_t>& out);
    void Flush(int volume, std::vector<std::uint8_t>& out);
    const AudioFormat& Format() const { return format; }

private:
    void Emit(const float* samples, std::size_t count, int volume, std::vector<std::uint8_t>& out);

    AudioFormat format;
    struct Resampler;
    std::unique_ptr<Resampler> resampler;  // null when the rates are equal
};

}  // namespace talvero
