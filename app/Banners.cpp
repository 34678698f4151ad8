#include "app/Banners.h"

namespace {

// BANNERS: placeholder until the popup banner lands; it shows nothing.
class NoBanners : public IBanners {
public:
    void Create(wxWindow*) override {}
    void ShowTranslation(const BannerDecision&) override {}
};

}  // namespace

std::unique_ptr<IBanners> MakeBanners()
{
    return std::make_unique<NoBanners>();
}
