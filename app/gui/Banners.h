#pragma once
// The main window's two popup banners (the translation banner and the additions banner), seen
// through the two things the window does with them.
#include <memory>
#include <string>

#include "app/TranslationDispatch.h"

class wxWindow;

namespace talvero {

class IBanners {
public:
    virtual ~IBanners() = default;
    // Start-up: creates the translation banner and the additions banner, owned by `owner`.
    virtual void Create(wxWindow* owner) = 0;
    // After a Translate run whose outcome asks for it.
    virtual void ShowTranslation(const BannerDecision& banner) = 0;
    // After a pair was added to the local dictionary: `text` on a background `lines` lines
    // taller, for 1000 ms.
    virtual void ShowAddition(const std::string& /*text*/, unsigned /*lines*/) {}
};

// The program's banners.
std::unique_ptr<IBanners> MakeBanners();

}  // namespace talvero
