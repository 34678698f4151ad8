#include "res/Resources.h"

#include <wx/bitmap.h>
#include <wx/icon.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/mstream.h>

#include "res/Icons.h"
#include "res/ResourceData.h"

namespace talvero {

namespace {

bool DecodePng(ResourceKind kind, int id, wxImage& image)
{
    std::span<const unsigned char> bytes = FindResourceData(kind, id);
    if (bytes.empty()) return false;
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    wxMemoryInputStream in(bytes.data(), bytes.size());
    wxImage decoded;
    if (!decoded.LoadFile(in, wxBITMAP_TYPE_PNG) || !decoded.IsOk()) return false;
    image = decoded;
    return true;
}

}  // namespace

bool LoadIconResource(int id, wxIcon& icon)
{
    // The drawn icons (res/icons) first, in the size a notification area shows well; then a
    // picture named icon<id>.png.
    wxBitmap bitmap = res::IconBitmap(id, 32);
    if (!bitmap.IsOk()) {
        wxImage image;
        if (!DecodePng(ResourceKind::Icon, id, image)) return false;
        bitmap = wxBitmap(image);
    }
    wxIcon loaded;
    loaded.CopyFromBitmap(bitmap);
    if (!loaded.IsOk()) return false;
    icon = loaded;
    return true;
}

bool LoadImageResource(int id, wxImage& image)
{
    return DecodePng(ResourceKind::Bitmap, id, image);
}

bool LoadBitmapResource(int id, wxBitmap& bitmap)
{
    wxImage image;
    if (!LoadImageResource(id, image)) return false;
    bitmap = wxBitmap(image);
    return bitmap.IsOk();
}

std::unique_ptr<wxMenu> LoadPopupMenuResource(int id)
{
    switch (id) {
        case res::kTrayMenu: {
            auto menu = std::make_unique<wxMenu>();
            menu->Append(MenuItemIdOf(ID_TRAY_DISABLE), "Disable");
            menu->Append(MenuItemIdOf(ID_TRAY_OPTIONS), "Options");
            menu->AppendSeparator();
            menu->Append(MenuItemIdOf(ID_TRAY_EXIT), "Exit");
            return menu;
        }
        default:
            return nullptr;
    }
}

}  // namespace talvero
