#pragma once
// Resources by their numeric ids: icons, bitmaps (skins) and the popup menus.
#include <memory>

class wxBitmap;
class wxIcon;
class wxImage;
class wxMenu;

// Each returns false, leaving the argument as it was, when there is no such resource or it
// does not decode.
bool LoadIconResource(int id, wxIcon& icon);
bool LoadImageResource(int id, wxImage& image);
bool LoadBitmapResource(int id, wxBitmap& bitmap);

// The first popup of menu resource `id` (null when there is none).
std::unique_ptr<wxMenu> LoadPopupMenuResource(int id);

// Ids of menu resource 132, the notification-area menu.
enum TrayMenuCommand {
    ID_TRAY_DISABLE = 32771,
    ID_TRAY_OPTIONS = 32772,
    ID_TRAY_EXIT = 32773,
};
