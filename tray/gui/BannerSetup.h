#pragma once
// How the main window sets up and shows its two banners: the translation banner (skin
// res::kTranslationSkin) and the additions banner (skin res::kAdditionsSkin), both in "Arial Black"
// 9 pt, black, bold and underlined white under the mouse.
#include <string>

class wxWindow;

namespace talvero {

class CTaskbarNotifier;

// Creates the banner's window, owned by `owner`, and gives it its skin, font, colours and text
// rectangle.
bool SetUpTranslationBanner(CTaskbarNotifier& banner, wxWindow* owner);
bool SetUpAdditionsBanner(CTaskbarNotifier& banner, wxWindow* owner);

// Shows `text` (bytes of the program's code page) on a background `lines` text lines taller,
// with the given times; a show in progress stops first.
void ShowOnBanner(CTaskbarNotifier& banner, int skinId, const std::string& text, int lines,
                  unsigned appearMs, unsigned stayMs, unsigned hideMs);

}  // namespace talvero
