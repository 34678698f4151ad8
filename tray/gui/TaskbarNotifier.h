#pragma once
// A popup banner: a shaped borderless window that slides out of the taskbar's edge of the
// screen, shows a text on its skin picture for a while and slides back. It never takes the
// focus. The mouse over it switches the text to the hover font and colour; a click tells the
// owner (EVT_TASKBAR_NOTIFIER_CLICK, a wxCommandEvent queued to the owner).
#include <wx/bitmap.h>
#include <wx/colour.h>
#include <wx/font.h>
#include <wx/frame.h>
#include <wx/timer.h>

#include <array>

#include "tray/BannerAnimation.h"
#include "tray/BannerSkin.h"

namespace talvero {

wxDECLARE_EVENT(EVT_TASKBAR_NOTIFIER_CLICK, wxCommandEvent);

class CTaskbarNotifier : public wxFrame, private banner::ITimers, private banner::IWindow {
public:
    // Style bits of SetTextFont.
    enum FontStyle { kBold = 1, kItalic = 2, kUnderline = 4 };
    // The colour value that means "no transparent colour" in SetSkin and SetSkinForLines.
    static constexpr int kNoColour = -1;

    CTaskbarNotifier();
    ~CTaskbarNotifier() override;

    // Creates the (hidden) window, owned by `owner`.
    bool Create(wxWindow* owner);

    // Bitmap resource `bitmapResourceId` as the background, its size the banner's; the pixels
    // of colour (red, green, blue) are cut out of the window's shape unless one is kNoColour.
    // The old skin is dropped first, so after a failure there is no background picture.
    bool SetSkin(int bitmapResourceId, int red, int green, int blue);
    // A background taller by `lines` text lines (352 x (129 + 20 x lines)) built from the
    // bitmap's top, repeated middle strip and bottom; text rectangle (10, 20, width - 20,
    // height - 60). After a failure the old skin, shape and text rectangle stay.
    bool SetSkinForLines(int bitmapResourceId, int red, int green, int blue, int lines);
    // The same from pictures at hand (tests, other skins).
    bool SetSkinImage(const banner::RgbImage& image, int red, int green, int blue);
    bool SetSkinImageForLines(const banner::RgbImage& image, int red, int green, int blue,
                              int lines);

    // Face, size in tenths of a point and the style bits of the normal and the hover font.
    void SetTextFont(const wxString& faceName, int sizeTenths, int normalStyle, int hoverStyle);
    void SetTextColor(const wxColour& normal, const wxColour& hover);
    void SetTextRect(const banner::Rect& rect);

    // Shows `text`: slides out over `timeToShow` ms, stays `timeToStay` ms, slides back over
    // `timeToHide` ms. The banner always moves 2 pixels a step; `increment` is accepted and
    // ignored. While a show is on, the text is replaced and the show goes on (see
    // banner::CBannerAnimator::Show).
    void Show(const wxString& text, unsigned timeToShow, unsigned timeToStay, unsigned timeToHide,
              int increment = banner::kIncrement);
    using wxFrame::Show;
    // Stops any show at once and hides the banner.
    void Hide();

    banner::State GetState() const { return animator.GetState(); }
    banner::Placement GetPlacement() const { return animator.GetPlacement(); }
    banner::Point GetBannerPosition() const { return animator.GetPosition(); }
    const wxString& GetText() const { return text; }
    const banner::Rect& GetTextRect() const { return textRect; }
    wxSize GetSkinSize() const { return wxSize(skinWidth, skinHeight); }
    const wxBitmap& GetSkin() const { return skin; }
    const wxFont& GetNormalFont() const { return normalFont; }
    const wxFont& GetHoverFont() const { return hoverFont; }
    const wxColour& GetNormalTextColour() const { return normalColour; }
    const wxColour& GetHoverTextColour() const { return hoverColour; }
    bool IsMouseOver() const { return mouseOver; }
    // The compositor shows it as an overlay anchored in the lower right corner.
    bool IsOverlay() const { return overlay; }
    // The lines drawn at the last paint.
    const std::vector<std::wstring>& GetDrawnLines() const { return drawnLines; }

private:
    // banner::ITimers
    void StartTimer(int id, std::uint32_t periodMs) override;
    void StopTimer(int id) override;
    // banner::IWindow
    void ShowWindow() override;
    void PlaceWindow(banner::Point position, int width, int height) override;
    void HideWindow() override;
    void Redraw() override;

    bool ApplySkin(const banner::RgbImage& image, int red, int green, int blue);
    void SetMouseOver(bool over);
    void OnPaint(wxPaintEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnEnter(wxMouseEvent& event);
    void OnLeave(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);

    wxWindow* owner = nullptr;
    wxFont normalFont;
    wxFont hoverFont;
    wxColour normalColour{133, 146, 181};
    wxColour hoverColour{10, 36, 106};
    wxBitmap skin;
    int skinWidth = 0;
    int skinHeight = 0;
    banner::Rect textRect;
    wxString text;
    bool mouseOver = false;
    std::array<wxTimer, 3> timers;
    banner::CBannerAnimator animator{*this, *this};
    std::vector<std::wstring> drawnLines;
    bool overlay = false;  // a layer surface: placed by its margins (Wayland)
};

}  // namespace talvero
