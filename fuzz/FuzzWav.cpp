// An audio file of any content through the recognizer's file input: opened, converted to 16 kHz
// mono and read.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/TextFile.h"
#include "speech/RecognizerAudio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace talvero;
    int fd = memfd_create("audio", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (!WriteAll(fd, std::string_view(reinterpret_cast<const char*>(data), size))) {
        close(fd);
        return 0;
    }
    std::string error;
    std::unique_ptr<IRecognizerAudio> audio =
        OpenRecognizerWav("/proc/self/fd/" + std::to_string(fd), false, error);
    if (!audio && error.empty()) __builtin_trap();
    if (audio) {
        // Compressed formats (FLAC, Vorbis) may hold hours of sound in a few bytes: read a
        // bounded stretch, which covers every header and the converter's start and end.
        std::vector<int16_t> samples(4096);
        size_t total = 0;
        while (total < 2000000) {
            const size_t n = audio->Read(samples.data(), samples.size());
            if (n == 0) break;
            if (n > samples.size()) __builtin_trap();
            total += n;
        }
    }
    close(fd);
    return 0;
}
