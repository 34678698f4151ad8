#pragma once
// The program's icons as wx objects: the main icon (resource 128) and its "disabled" variant
// (129), drawn in every embedded size.
#include <wx/bitmap.h>
#include <wx/iconbndl.h>

namespace talvero {

namespace res {

// All sizes of icon 128 or 129; empty when `iconId` is neither.
wxIconBundle IconBundle(int iconId);

// One size (16, 24, 32, 48, 64, 128 or 256) of icon 128 or 129; invalid when unknown.
wxBitmap IconBitmap(int iconId, int size);

}  // namespace res

}  // namespace talvero
