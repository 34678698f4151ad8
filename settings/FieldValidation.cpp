#include "settings/FieldValidation.h"

#include <charconv>
#include <cstdint>
#include <cstdio>

#include "base/TextFile.h"

namespace talvero {

std::string TrimWhite(std::string_view text)
{
    return std::string(TrimWhiteSpace(text));
}

IntegerField CheckIntegerField(std::string_view text, int min, int max)
{
    IntegerField out;
    std::string t = TrimWhite(text);
    std::string_view digits = t;
    bool plus = !digits.empty() && digits.front() == '+';
    if (plus) digits.remove_prefix(1);
    long long value = 0;
    const char* end = digits.data() + digits.size();
    auto [ptr, ec] = std::from_chars(digits.data(), end, value);
    bool doubleSign = plus && !digits.empty() && digits.front() == '-';
    if (digits.empty() || doubleSign || ec != std::errc() || ptr != end || value < INT32_MIN ||
        value > INT32_MAX) {
        out.message = kNotAnIntegerMessage;
        return out;
    }
    if (value < min || value > max) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "Please enter an integer between %d and %d.", min, max);
        out.message = buf;
        return out;
    }
    out.ok = true;
    out.value = static_cast<int>(value);
    return out;
}

}  // namespace talvero
