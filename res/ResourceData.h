#pragma once
// The program's pictures are compiled into it, so that it runs from anywhere without looking
// for files. A picture under res/ named <kind><id>.png (icon128.png, bitmap132.png) is found
// here by its kind and numeric id.
#include <cstddef>
#include <span>

namespace talvero {

enum class ResourceKind { Icon, Bitmap };

// The PNG bytes of a picture, or an empty span when the program has no such picture.
std::span<const unsigned char> FindResourceData(ResourceKind kind, int id);

}  // namespace talvero
