#include "app/gui/Banners.h"

#include "base/CodePage.h"
#include "platform/Platform.h"
#include "res/Ids.h"
#include "tray/gui/BannerSetup.h"
#include "tray/gui/TaskbarNotifier.h"

namespace talvero {

namespace {

// The two banner windows belong to the main window (their owner), which destroys them with
// itself; this object only points at them.
class TaskbarBanners : public IBanners {
public:
    void Create(wxWindow* owner) override
    {
        if (translation || notifications) return;
        // A desktop that cannot show a banner window where it belongs shows a notification.
        notifications = MakeDesktopNotifications();
        if (notifications) return;
        translation = new CTaskbarNotifier;
        SetUpTranslationBanner(*translation, owner);
        additions = new CTaskbarNotifier;
        SetUpAdditionsBanner(*additions, owner);
    }
    void ShowTranslation(const BannerDecision& banner) override
    {
        if (notifications) notifications->Notify("Talvero", CodePageToUtf8(banner.text));
        if (!translation) return;
        ShowOnBanner(*translation, banner.skinBitmap, banner.text, int(banner.lines),
                     banner.appearMs, banner.stayMs, banner.hideMs);
    }
    void ShowAddition(const std::string& text, unsigned lines) override
    {
        if (notifications) notifications->Notify("Talvero", CodePageToUtf8(text));
        if (!additions) return;
        ShowOnBanner(*additions, res::kAdditionsSkin, text, int(lines), 10, 1000, 10);
    }

private:
    CTaskbarNotifier* translation = nullptr;
    CTaskbarNotifier* additions = nullptr;
    std::unique_ptr<IDesktopNotifications> notifications;
};

}  // namespace

std::unique_ptr<IBanners> MakeBanners()
{
    return std::make_unique<TaskbarBanners>();
}

}  // namespace talvero
