#pragma once
// The voice: speaks texts one after the other on its own threads. Speak queues and returns at
// once; Purge ends what is being spoken and drops the queue; Pause holds the output where it
// is and Resume goes on from there. The start and the end of each spoken text (a stream) are
// reported as events: the voice calls the notify function (on its own thread) whenever one is
// waiting, and the owner fetches them with GetEvent on its own thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "speech/AudioSink.h"

namespace talvero {

enum class VoiceEventKind { StartStream, EndStream };

struct VoiceEvent {
    VoiceEventKind kind;
    std::uint64_t stream;  // the number Speak returned
};

struct VoiceInfo {
    std::string id;           // what SetVoice takes, e.g. "gmw/en"
    std::string name;         // e.g. "English (Great Britain)"
    std::string language;     // e.g. "en-gb"
    std::string description;  // as lists show it: "English (Great Britain) - en-gb"
};

constexpr int kVoiceRateMin = -10, kVoiceRateMax = 10;
constexpr int kVoiceVolumeMin = 0, kVoiceVolumeMax = 100;

class IVoice {
public:
    virtual ~IVoice() = default;

    // Queues UTF-8 text (invalid sequences are spoken as nothing) behind whatever is still
    // queued; never purges. Returns the stream's number (1, 2, ...). An empty text is still a
    // stream, reported by its two events.
    virtual std::uint64_t Speak(std::string_view utf8) = 0;
    // Ends the text being spoken (its end event follows) and drops the queued ones. The pause
    // state stays as it is.
    virtual void Purge() = 0;
    virtual void Pause() = 0;
    virtual void Resume() = 0;
    virtual bool IsPaused() const = 0;
    // Nothing queued, nothing being spoken, and the end event of what was spoken is posted.
    virtual bool IsIdle() const = 0;
    // Waits up to `ms` for IsIdle(); false on time-out.
    virtual bool WaitUntilIdle(int ms) = 0;

    virtual std::vector<VoiceInfo> Voices() const = 0;
    virtual VoiceInfo CurrentVoice() const = 0;
    // Takes effect from the next text; false (and no change) for an id that is not listed.
    virtual bool SetVoice(const std::string& id) = 0;
    virtual int Rate() const = 0;  // -10 ... 10
    virtual void SetRate(int rate) = 0;
    virtual int Volume() const = 0;  // 0 ... 100
    virtual void SetVolume(int volume) = 0;
    // Row of the output format table; the next text is produced in it. False outside 0 ... 35.
    virtual int FormatRow() const = 0;
    virtual bool SetFormatRow(int row) = 0;

    virtual void SetNotify(std::function<void()> notify) = 0;
    // Oldest waiting event; false when there is none.
    virtual bool GetEvent(VoiceEvent& event) = 0;
    // Where the samples go, for messages.
    virtual std::string OutputDescription() const = 0;
};

// The voice on espeak-ng, writing to `sink`. Null with `error` set when espeak-ng cannot start
// (its data missing) or another voice of this process still holds it (espeak-ng keeps global
// state: one voice per process at a time).
std::unique_ptr<IVoice> MakeEspeakVoice(std::unique_ptr<IAudioSink> sink, std::string& error);

// Finds a voice by id, name or description (spaces and underscores alike, any case) or, failing
// that, by language code; -1 when none matches.
int FindVoice(const std::vector<VoiceInfo>& voices, std::string_view wanted);

// Words per minute for a rate of -10 ... 10: 80 ... 175 ... 450.
int VoiceWordsPerMinute(int rate);

}  // namespace talvero
