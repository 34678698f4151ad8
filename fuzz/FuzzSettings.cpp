// The settings and services files as a user's editor, a crash or an attacker may leave them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "catalogue/Services.h"
#include "catalogue/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Settings settings;
    ApplySettingsText(settings, text);
    // Whatever was read must write back and read back to the same file.
    const std::string saved = FormatSettings(settings);
    Settings again;
    ApplySettingsText(again, saved);
    if (FormatSettings(again) != saved) __builtin_trap();

    Services services;
    ApplyServicesText(services, text);
    return 0;
}
