#include <sndfile.h>

#include <charconv>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>

#include "app/cli/Commands.h"
#include "speech/Voice.h"

namespace talvero {

namespace {

const char* kSpeakUsage =
    "Usage: talvero-cli speak TEXT [--voice NAME] [--rate N] [--volume N] [--format ROW]\n"
    "                         [--out FILE.wav]\n"
    "Speaks TEXT (UTF-8; '-' reads it from standard input) with the voice the window uses.\n"
    "  --voice NAME   a voice of 'talvero-cli voices': its name, id or language (default: "
    "English)\n"
    "  --rate N       -10 (slowest) ... 10 (fastest), default 0\n"
    "  --volume N     0 ... 100, default 100\n"
    "  --format ROW   output format row 0 ... 35 of the voice dialog's list, default 18\n"
    "                 (22kHz 16 Bit Mono); 'talvero-cli speak --formats' lists them\n"
    "  --out FILE.wav write the speech into FILE.wav, as fast as it is made, and print its\n"
    "                 length and format; without it the speech is played on the sound device\n"
    "                 (or TALVERO_AUDIO_OUT's file, or nowhere when there is no device)\n"
    "\n"
    "Exit status: 0 when spoken, 1 when the voice or the file failed, 2 on misuse.\n";

const char* kVoicesUsage =
    "Usage: talvero-cli voices\n"
    "Lists the voices, one a line: the name, a tab, the language.\n";

constexpr std::size_t kMaxSpeakBytes = 100000;

bool ParseInt(const std::string& text, int min, int max, int& out)
{
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && out >= min && out <= max;
}

bool ValidUtf8(const std::string& s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = s[i];
        std::size_t n = c < 0x80                      ? 1
                        : (c >> 5) == 6 && c >= 0xC2  ? 2
                        : (c >> 4) == 14              ? 3
                        : (c >> 3) == 30 && c <= 0xF4 ? 4
                                                      : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
        i += n;
    }
    return true;
}

}  // namespace

// talvero-cli speak TEXT [options]: the window's voice without the window.
int CliSpeak(const CliArgs& args)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kSpeakUsage, stdout);
        return 0;
    }
    if (args.size() == 1 && args[0] == "--formats") {
        for (int row = 0; row < kVoiceFormatCount; ++row)
            std::printf("%d\t%s\n", row, VoiceFormatAt(row)->text);
        return 0;
    }
    std::string text, voiceName, out;
    bool haveText = false;
    int rate = 0, volume = 100, format = kDefaultVoiceFormatRow;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool option =
            a == "--voice" || a == "--rate" || a == "--volume" || a == "--format" || a == "--out";
        if (option && i + 1 >= args.size()) {
            CliError(a + " needs a value (try 'speak --help')");
            return 2;
        }
        if (a == "--voice")
            voiceName = args[++i];
        else if (a == "--out")
            out = args[++i];
        else if (a == "--rate" && !ParseInt(args[++i], kVoiceRateMin, kVoiceRateMax, rate)) {
            CliError("--rate takes a whole number from -10 to 10, not '" + args[i] + "'");
            return 2;
        } else if (a == "--volume" &&
                   !ParseInt(args[++i], kVoiceVolumeMin, kVoiceVolumeMax, volume)) {
            CliError("--volume takes a whole number from 0 to 100, not '" + args[i] + "'");
            return 2;
        } else if (a == "--format" && !ParseInt(args[++i], 0, kVoiceFormatCount - 1, format)) {
            CliError("--format takes a row from 0 to 35, not '" + args[i] + "'");
            return 2;
        } else if (!option) {
            if (haveText) {
                CliError("one TEXT only (quote it; try 'speak --help')");
                return 2;
            }
            text = a;
            haveText = true;
        }
    }
    if (!haveText) {
        CliError("usage: talvero-cli speak TEXT [options] (try 'speak --help')");
        return 2;
    }
    if (text == "-") text.assign(std::istreambuf_iterator<char>(std::cin), {});
    // About 1.5 hours of speech; more is a mistake (a whole file piped in), and its WAV file
    // would pass the format's 4 GB limit at the larger formats.
    if (text.size() > kMaxSpeakBytes) {
        CliError("the text is longer than " + std::to_string(kMaxSpeakBytes) +
                 " bytes; speak it in parts");
        return 2;
    }
    if (!ValidUtf8(text)) {
        CliError("the text is not valid UTF-8");
        return 2;
    }

    std::string error;
    std::unique_ptr<IAudioSink> sink;
    if (!out.empty()) {
        sink = MakeWavAudioSink(out, false, error);
        if (!sink) {
            CliError(error);
            return 1;
        }
    } else {
        sink = MakeDefaultAudioSink(&error);
        if (!error.empty()) CliError(error);
    }
    std::unique_ptr<IVoice> voice = MakeEspeakVoice(std::move(sink), error);
    if (!voice) {
        CliError(error);
        return 1;
    }
    if (!voiceName.empty()) {
        std::vector<VoiceInfo> voices = voice->Voices();
        int found = FindVoice(voices, voiceName);
        if (found < 0) {
            CliError("no voice named '" + voiceName + "' (see 'talvero-cli voices')");
            return 2;
        }
        voice->SetVoice(voices[std::size_t(found)].id);
    }
    voice->SetRate(rate);
    voice->SetVolume(volume);
    voice->SetFormatRow(format);
    voice->Speak(text);
    while (!voice->WaitUntilIdle(1000)) {
    }
    voice.reset();

    if (!out.empty()) {
        SF_INFO info{};
        SNDFILE* file = sf_open(out.c_str(), SFM_READ, &info);
        if (!file) {
            CliError("cannot read back " + out);
            return 1;
        }
        sf_close(file);
        const AudioFormat& f = VoiceFormatAt(format)->format;
        std::printf("%s: %.2f s, %d Hz, %d bit, %s\n", out.c_str(),
                    info.samplerate ? double(info.frames) / info.samplerate : 0.0, info.samplerate,
                    f.bits, info.channels == 2 ? "stereo" : "mono");
    }
    return 0;
}

// talvero-cli voices: name and language of every voice.
int CliVoices(const CliArgs& args)
{
    if (!args.empty()) {
        std::fputs(kVoicesUsage, args[0] == "--help" || args[0] == "-h" ? stdout : stderr);
        return args[0] == "--help" || args[0] == "-h" ? 0 : 2;
    }
    std::string error;
    std::unique_ptr<IVoice> voice = MakeEspeakVoice(MakeNullAudioSink(), error);
    if (!voice) {
        CliError(error);
        return 1;
    }
    for (const VoiceInfo& v : voice->Voices())
        std::printf("%s\t%s\n", TerminalSafe(v.name).c_str(), TerminalSafe(v.language).c_str());
    return 0;
}

}  // namespace talvero
