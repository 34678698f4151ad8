// The settings and services files as a user's editor, a crash or an attacker may leave them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/TextFile.h"
#include "settings/Services.h"
#include "settings/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace talvero;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // As the loader reads a file: its encoding found first, then out-of-range values mended.
    const std::string text = KeyFileText(std::string(bytes));
    Settings settings;
    ApplySettingsText(settings, text);
    MendOutOfRangeSettings(settings);
    if (!MendOutOfRangeSettings(settings).empty()) __builtin_trap();
    // Whatever was read must write back and read back to the same file.
    const std::string saved = FormatSettings(settings);
    Settings again;
    ApplySettingsText(again, saved);
    if (FormatSettings(again) != saved) __builtin_trap();

    Services services;
    ApplyServicesText(services, text);
    ApplyServicesText(services, bytes);
    return 0;
}
