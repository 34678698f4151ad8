#pragma once
// Validation of integer fields in dialogs, with the messages the user sees.
#include <string>
#include <string_view>

namespace talvero {

inline constexpr const char* kNotAnIntegerMessage = "Please enter an integer.";

struct IntegerField {
    bool ok = false;
    int value = 0;
    std::string message;  // what to show when !ok
};

// Accepts optional blanks, an optional sign, decimal digits and optional blanks; anything else
// (or a value beyond the int range) is "Please enter an integer."; a value outside [min, max]
// is "Please enter an integer between <min> and <max>.".
IntegerField CheckIntegerField(std::string_view text, int min, int max);

// Removes leading and trailing white space (space, tab, line feed, vertical tab, form feed,
// carriage return).
std::string TrimWhite(std::string_view text);

}  // namespace talvero
