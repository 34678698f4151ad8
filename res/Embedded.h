#pragma once
// Image files compiled into the program (icons), looked up by file name without extension,
// e.g. "talvero-32". No GUI code here: the window layer turns the bytes into bitmaps.
#include <span>
#include <string_view>

namespace talvero {

namespace res {

// The file's bytes, or an empty span for an unknown name.
std::span<const unsigned char> EmbeddedFile(std::string_view name);

}  // namespace res

}  // namespace talvero
