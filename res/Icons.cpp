#include "res/Icons.h"

#include <string>

#include <wx/icon.h>
#include <wx/image.h>

#include "res/Embedded.h"
#include "res/Templates.h"

namespace talvero {

namespace res {

namespace {

const int kSizes[] = {16, 24, 32, 48, 64, 128, 256};

const char* BaseName(int iconId)
{
    if (iconId == kMainIcon) return "talvero";
    if (iconId == kDisabledIcon) return "talvero-disabled";
    return nullptr;
}

}  // namespace

wxBitmap IconBitmap(int iconId, int size)
{
    const char* base = BaseName(iconId);
    if (!base) return wxBitmap();
    auto bytes = EmbeddedFile(std::string(base) + "-" + std::to_string(size));
    if (bytes.empty()) return wxBitmap();
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    return wxBitmap::NewFromPNGData(bytes.data(), bytes.size());
}

wxIconBundle IconBundle(int iconId)
{
    wxIconBundle bundle;
    for (int size : kSizes) {
        wxBitmap bmp = IconBitmap(iconId, size);
        if (!bmp.IsOk()) continue;
        wxIcon icon;
        icon.CopyFromBitmap(bmp);
        bundle.AddIcon(icon);
    }
    return bundle;
}

}  // namespace res

}  // namespace talvero
