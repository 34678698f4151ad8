#include "tray/gui/TaskbarNotifier.h"

#include <wx/dcbuffer.h>
#include <wx/display.h>
#include <wx/image.h>
#include <wx/region.h>

#include <gtk/gtk.h>

#include "platform/wayland/Overlay.h"
#include "res/Resources.h"
#include "tray/BannerText.h"

namespace talvero {

wxDEFINE_EVENT(EVT_TASKBAR_NOTIFIER_CLICK, wxCommandEvent);

namespace {

bool ImageFromResource(int id, banner::RgbImage& out)
{
    wxImage image;
    if (!LoadImageResource(id, image) || !image.IsOk()) return false;
    banner::RgbImage rgb(image.GetWidth(), image.GetHeight());
    const unsigned char* data = image.GetData();
    std::copy(data, data + rgb.pixels.size(), rgb.pixels.begin());
    out = std::move(rgb);
    return true;
}

wxBitmap BitmapFromRgb(const banner::RgbImage& rgb)
{
    wxImage image(rgb.width, rgb.height, false);
    std::copy(rgb.pixels.begin(), rgb.pixels.end(), image.GetData());
    return wxBitmap(image, 24);
}

wxFont MakeFont(const wxString& face, int sizeTenths, int style)
{
    wxFontInfo info(sizeTenths / 10.0);
    info.FaceName(face)
        .Bold((style & CTaskbarNotifier::kBold) != 0)
        .Italic((style & CTaskbarNotifier::kItalic) != 0)
        .Underlined((style & CTaskbarNotifier::kUnderline) != 0);
    wxFont font(info);
    // A face that this desktop lacks falls back to the default sans-serif of the same size.
    if (!font.IsOk()) font = wxFont(wxFontInfo(sizeTenths / 10.0).Family(wxFONTFAMILY_SWISS));
    return font;
}

// The primary display: the taskbar of the banner is the one of the main screen.
wxDisplay PrimaryDisplay()
{
    return wxDisplay(0u);
}

// More lines than the work area can hold would make a banner taller than the screen.
int LinesThatFit(int lines)
{
    int workHeight = PrimaryDisplay().GetClientArea().GetHeight();
    int most = (workHeight - banner::kSkinHeight) / banner::kLineHeight;
    if (most < 0) most = 0;
    return lines > most ? most : lines;
}

}  // namespace

CTaskbarNotifier::CTaskbarNotifier()
{
    for (size_t i = 0; i < timers.size(); ++i)
        timers[i].SetOwner(this, int(i) + 1);
}

CTaskbarNotifier::~CTaskbarNotifier()
{
    for (wxTimer& timer : timers)
        timer.Stop();
}

bool CTaskbarNotifier::Create(wxWindow* ownerWindow)
{
    owner = ownerWindow;
    if (!wxFrame::Create(ownerWindow, wxID_ANY, wxEmptyString, wxPoint(0, 0), wxSize(1, 1),
                         wxFRAME_SHAPED | wxBORDER_NONE | wxFRAME_NO_TASKBAR | wxSTAY_ON_TOP |
                             wxFRAME_TOOL_WINDOW))
        return false;
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    // Where the compositor places windows itself, the banner is an overlay in the corner.
    overlay = MakeOverlay(GTK_WINDOW(GetHandle()));
    SetCursor(wxCursor(wxCURSOR_HAND));
    Bind(wxEVT_PAINT, &CTaskbarNotifier::OnPaint, this);
    Bind(wxEVT_TIMER, &CTaskbarNotifier::OnTimer, this);
    Bind(wxEVT_ENTER_WINDOW, &CTaskbarNotifier::OnEnter, this);
    Bind(wxEVT_LEAVE_WINDOW, &CTaskbarNotifier::OnLeave, this);
    Bind(wxEVT_LEFT_UP, &CTaskbarNotifier::OnLeftUp, this);
    return true;
}

bool CTaskbarNotifier::SetSkin(int bitmapResourceId, int red, int green, int blue)
{
    skin = wxBitmap();
    banner::RgbImage image;
    if (!ImageFromResource(bitmapResourceId, image)) return false;
    return SetSkinImage(image, red, green, blue);
}

bool CTaskbarNotifier::SetSkinImage(const banner::RgbImage& image, int red, int green, int blue)
{
    if (!image.IsOk()) return false;
    if (!ApplySkin(image, red, green, blue)) return false;
    textRect = {0, 0, skinWidth, skinHeight};
    return true;
}

bool CTaskbarNotifier::SetSkinForLines(int bitmapResourceId, int red, int green, int blue,
                                       int lines)
{
    banner::RgbImage image;
    if (!ImageFromResource(bitmapResourceId, image)) return false;
    return SetSkinImageForLines(image, red, green, blue, lines);
}

bool CTaskbarNotifier::SetSkinImageForLines(const banner::RgbImage& image, int red, int green,
                                            int blue, int lines)
{
    banner::RgbImage composed;
    if (!banner::ComposeSkinForLines(image, LinesThatFit(lines), composed)) return false;
    if (!ApplySkin(composed, red, green, blue)) return false;
    textRect = banner::TextRectForSkin(skinWidth, skinHeight);
    return true;
}

bool CTaskbarNotifier::ApplySkin(const banner::RgbImage& image, int red, int green, int blue)
{
    wxBitmap bitmap = BitmapFromRgb(image);
    if (!bitmap.IsOk()) return false;
    skin = bitmap;
    skinWidth = image.width;
    skinHeight = image.height;
    animator.SetSize(skinWidth, skinHeight);
    if (red != kNoColour && green != kNoColour && blue != kNoColour) {
        banner::Rgb transparent{std::uint8_t(red), std::uint8_t(green), std::uint8_t(blue)};
        wxRegion region;
        for (const banner::Rect& r : banner::ShapeRectangles(image, transparent))
            region.Union(r.left, r.top, r.Width(), r.Height());
        // An all-transparent skin would make an invisible window: keep it rectangular.
        if (!region.IsEmpty()) SetShape(region);
    }
    if (IsShown()) SetSize(skinWidth, skinHeight);
    Refresh();
    return true;
}

void CTaskbarNotifier::SetTextFont(const wxString& faceName, int sizeTenths, int normalStyle,
                                   int hoverStyle)
{
    normalFont = MakeFont(faceName, sizeTenths, normalStyle);
    hoverFont = MakeFont(faceName, sizeTenths, hoverStyle);
}

void CTaskbarNotifier::SetTextColor(const wxColour& normal, const wxColour& hover)
{
    normalColour = normal;
    hoverColour = hover;
    Redraw();
}

void CTaskbarNotifier::SetTextRect(const banner::Rect& rect)
{
    textRect = rect;
}

void CTaskbarNotifier::Show(const wxString& newText, unsigned timeToShow, unsigned timeToStay,
                            unsigned timeToHide, int /*increment*/)
{
    text = newText;
    // A screen reader names the banner's window by its title: let it read the text.
    SetTitle(newText);
    wxDisplay display = PrimaryDisplay();
    wxRect work = display.GetClientArea();
    wxRect screen = display.GetGeometry();
    banner::Rect workArea{work.GetLeft(), work.GetTop(), work.GetRight() + 1, work.GetBottom() + 1};
    animator.Show(timeToShow, timeToStay, timeToHide, workArea, screen.GetWidth(),
                  screen.GetHeight());
}

void CTaskbarNotifier::Hide()
{
    animator.Hide();
}

void CTaskbarNotifier::StartTimer(int id, std::uint32_t periodMs)
{
    if (id >= 1 && id <= int(timers.size())) timers[id - 1].Start(int(periodMs));
}

void CTaskbarNotifier::StopTimer(int id)
{
    if (id >= 1 && id <= int(timers.size())) timers[id - 1].Stop();
}

void CTaskbarNotifier::ShowWindow()
{
    if (!IsShown()) ShowWithoutActivating();
    Refresh();
}

void CTaskbarNotifier::PlaceWindow(banner::Point position, int width, int height)
{
    if (overlay) {
        // The overlay keeps to the bottom right corner; its distance from the screen's edges
        // slides it.
        const wxRect screen = PrimaryDisplay().GetGeometry();
        PlaceOverlay(GTK_WINDOW(GetHandle()), screen.GetRight() + 1 - (position.x + width),
                     screen.GetBottom() + 1 - (position.y + height));
        SetSize(width, height);
        return;
    }
    // Negative and -1 coordinates are real places here (a banner left of the screen).
    SetSize(position.x, position.y, width, height, wxSIZE_ALLOW_MINUS_ONE);
}

void CTaskbarNotifier::HideWindow()
{
    wxFrame::Show(false);
    mouseOver = false;
}

void CTaskbarNotifier::Redraw()
{
    Refresh();
    Update();
}

void CTaskbarNotifier::SetMouseOver(bool over)
{
    if (mouseOver == over) return;
    mouseOver = over;
    Redraw();
}

void CTaskbarNotifier::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(GetBackgroundColour()));
    dc.Clear();
    if (skin.IsOk()) dc.DrawBitmap(skin, 0, 0, false);

    const wxFont& font = mouseOver ? hoverFont : normalFont;
    dc.SetFont(font.IsOk() ? font : *wxNORMAL_FONT);
    dc.SetTextForeground(mouseOver ? hoverColour : normalColour);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    int width = textRect.Width();
    int height = textRect.Height();
    if (width <= 0 || height <= 0 || text.empty()) {
        drawnLines.clear();
        return;
    }
    int lineHeight = dc.GetCharHeight();
    drawnLines = banner::BreakBannerText(
        text.ToStdWstring(), width, height, lineHeight,
        [&dc](const std::wstring& s) { return dc.GetTextExtent(wxString(s)).GetWidth(); });
    int total = lineHeight * int(drawnLines.size());
    // Centred vertically while the text fits; a longer text starts at the top.
    int y = textRect.top + (total < height ? (height - total) / 2 : 0);
    wxDCClipper clip(dc, wxRect(textRect.left, textRect.top, width, height));
    for (const std::wstring& line : drawnLines) {
        wxString s(line);
        int w = dc.GetTextExtent(s).GetWidth();
        dc.DrawText(s, textRect.left + (width - w) / 2, y);
        y += lineHeight;
    }
}

void CTaskbarNotifier::OnTimer(wxTimerEvent& event)
{
    animator.OnTimer(event.GetId());
}

void CTaskbarNotifier::OnEnter(wxMouseEvent& event)
{
    event.Skip();
    SetMouseOver(true);
}

void CTaskbarNotifier::OnLeave(wxMouseEvent& event)
{
    event.Skip();
    SetMouseOver(false);
}

void CTaskbarNotifier::OnLeftUp(wxMouseEvent& event)
{
    event.Skip();
    if (!owner) return;
    wxCommandEvent click(EVT_TASKBAR_NOTIFIER_CLICK, GetId());
    click.SetEventObject(this);
    owner->GetEventHandler()->AddPendingEvent(click);
}

}  // namespace talvero
