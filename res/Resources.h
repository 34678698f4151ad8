#pragma once
// Resources by their numeric ids: icons, bitmaps (skins) and the popup menus.
#include <memory>

#include "res/Ids.h"

class wxBitmap;
class wxIcon;
class wxImage;
class wxMenu;

namespace talvero {

// Each returns false, leaving the argument as it was, when there is no such resource or it
// does not decode.
bool LoadIconResource(int id, wxIcon& icon);
bool LoadImageResource(int id, wxImage& image);
bool LoadBitmapResource(int id, wxBitmap& bitmap);

// The first popup of menu resource `id` (null when there is none). wx refuses menu item ids
// above 0x7FFE, so the items carry MenuItemIdOf(command); whoever delivers their events gives
// them back their command number (MenuCommandOf).
std::unique_ptr<wxMenu> LoadPopupMenuResource(int id);

constexpr int kMenuItemIdOffset = 0x4000;
constexpr int MenuItemIdOf(int command)
{
    return command - kMenuItemIdOffset;
}
constexpr int MenuCommandOf(int itemId)
{
    return itemId + kMenuItemIdOffset;
}

}  // namespace talvero
