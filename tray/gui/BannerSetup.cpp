#include "tray/gui/BannerSetup.h"

#include "base/CodePage.h"
#include "res/Ids.h"
#include "tray/gui/TaskbarNotifier.h"

namespace talvero {

namespace {

constexpr int kTransparentRed = 255, kTransparentGreen = 0, kTransparentBlue = 255;

void SetLook(CTaskbarNotifier& banner)
{
    banner.SetTextFont("Arial Black", 90, 0,
                       CTaskbarNotifier::kBold | CTaskbarNotifier::kUnderline);
    banner.SetTextColor(wxColour(0, 0, 0), wxColour(255, 255, 255));
    wxSize size = banner.GetSkinSize();
    banner.SetTextRect({10, 20, size.GetWidth() - 10, size.GetHeight() - 20});
}

}  // namespace

bool SetUpTranslationBanner(CTaskbarNotifier& banner, wxWindow* owner)
{
    if (!banner.Create(owner)) return false;
    bool skinned = banner.SetSkinForLines(res::kTranslationSkin, kTransparentRed, kTransparentGreen,
                                          kTransparentBlue, 0);
    SetLook(banner);
    return skinned;
}

bool SetUpAdditionsBanner(CTaskbarNotifier& banner, wxWindow* owner)
{
    if (!banner.Create(owner)) return false;
    bool skinned =
        banner.SetSkin(res::kAdditionsSkin, kTransparentRed, kTransparentGreen, kTransparentBlue);
    SetLook(banner);
    return skinned;
}

void ShowOnBanner(CTaskbarNotifier& banner, int skinId, const std::string& text, int lines,
                  unsigned appearMs, unsigned stayMs, unsigned hideMs)
{
    banner.Hide();
    banner.SetSkinForLines(skinId, kTransparentRed, kTransparentGreen, kTransparentBlue,
                           lines < 0 ? 0 : lines);
    banner.Show(wxString(CodePageToWide(text)), appearMs, stayMs, hideMs);
}

}  // namespace talvero
