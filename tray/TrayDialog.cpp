#include "tray/TrayDialog.h"

#include <wx/display.h>
#include <wx/menu.h>
#include <wx/taskbar.h>
#include <wx/time.h>

#ifdef __WXGTK__
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdk.h>
#include <gdk/gdkx.h>
#endif

#include "res/Resources.h"

namespace {

// On GTK one click on the entry reports one double click and a real double click two; the
// second of a pair must not undo what the first did.
constexpr long kDoubleClickDebounceMs = 500;

constexpr int kNormalIconId = 128;
constexpr int kDisabledIconId = 129;

}  // namespace

// The entry itself: turns the entry's mouse events into the dialog's hooks and hands the
// menu's commands to the dialog.
class CTrayIcon : public wxTaskBarIcon {
public:
    explicit CTrayIcon(CTrayDialog* dialog) : dialog(dialog)
    {
        Bind(wxEVT_TASKBAR_LEFT_DOWN, [this](wxTaskBarIconEvent&) {
            if (this->dialog) this->dialog->OnTrayLButtonDown(wxGetMousePosition());
        });
        Bind(wxEVT_TASKBAR_LEFT_DCLICK, [this](wxTaskBarIconEvent&) {
            wxLongLong now = wxGetUTCTimeMillis();
            if (lastDoubleClick != 0 && now - lastDoubleClick < kDoubleClickDebounceMs) return;
            lastDoubleClick = now;
            if (this->dialog) this->dialog->OnTrayLButtonDblClk(wxGetMousePosition());
        });
        Bind(wxEVT_TASKBAR_RIGHT_DOWN, [this](wxTaskBarIconEvent&) {
            if (this->dialog) this->dialog->OnTrayRButtonDown(wxGetMousePosition());
        });
        Bind(wxEVT_TASKBAR_RIGHT_DCLICK, [this](wxTaskBarIconEvent&) {
            if (this->dialog) this->dialog->OnTrayRButtonDblClk(wxGetMousePosition());
        });
        Bind(wxEVT_TASKBAR_MOVE, [this](wxTaskBarIconEvent&) {
            if (this->dialog) this->dialog->OnTrayMouseMove(wxGetMousePosition());
        });
        Bind(wxEVT_MENU, [this](wxCommandEvent& event) {
            if (this->dialog) this->dialog->GetEventHandler()->ProcessEvent(event);
        });
    }

    CTrayDialog* dialog;
    wxLongLong lastDoubleClick = 0;
};

CTrayDialog::CTrayDialog()
{
    Init();
}

CTrayDialog::CTrayDialog(wxWindow* parent, wxWindowID id, const wxString& title, const wxPoint& pos,
                         const wxSize& size, long style, const wxString& name)
    : wxDialog(parent, id, title, pos, size, style, name)
{
    Init();
}

void CTrayDialog::Init()
{
    trayIcon = new CTrayIcon(this);
    Bind(wxEVT_ICONIZE, &CTrayDialog::OnIconize, this);
    Bind(wxEVT_DESTROY, &CTrayDialog::OnWindowDestroy, this);
}

CTrayDialog::~CTrayDialog()
{
    RemoveTrayEntry();
    trayIcon->dialog = nullptr;
    // Not deleted here: this may run while the entry is still dispatching one of its events.
    trayIcon->Destroy();
    trayIcon = nullptr;
}

bool CTrayDialog::TraySetIcon(int iconResourceId)
{
    wxIcon icon;
    if (!LoadIconResource(iconResourceId, icon)) return false;
    return TraySetIcon(icon);
}

bool CTrayDialog::TraySetIcon(const wxIcon& icon)
{
    if (!icon.IsOk()) return false;
    trayIconImage = icon;
    return true;
}

void CTrayDialog::TraySetToolTip(const wxString& text)
{
    trayToolTip = text.Left(kMaxToolTipLength);
}

bool CTrayDialog::TraySetMenu(int menuResourceId)
{
    std::unique_ptr<wxMenu> menu = LoadPopupMenuResource(menuResourceId);
    if (!menu) return false;
    trayMenu = std::move(menu);
    return true;
}

void CTrayDialog::TrayUpdate()
{
    if (inTray && trayIconImage.IsOk()) trayIcon->SetIcon(trayIconImage, trayToolTip);
}

bool CTrayDialog::MinimizeToTray()
{
    if (inTray) return false;
    // Without a tray host the entry would be invisible and the window unreachable.
    if (!wxTaskBarIcon::IsAvailable()) return false;
    wxIcon icon = trayIconImage;
    if (!icon.IsOk()) {
        wxBitmap blank(16, 16);
        icon.CopyFromBitmap(blank);
    }
    if (!trayIcon->SetIcon(icon, trayToolTip)) return false;
    inTray = true;
    Hide();
    return true;
}

bool CTrayDialog::RestoreFromTray()
{
    if (!inTray) return false;
    if (!trayIcon->RemoveIcon()) return false;
    inTray = false;
    restoring = true;
    Show();
    Iconize(false);
    Raise();
    restoring = false;
    return true;
}

void CTrayDialog::RemoveTrayEntry()
{
    if (inTray && trayIcon) {
        trayIcon->RemoveIcon();
        inTray = false;
    }
}

void CTrayDialog::OnIconize(wxIconizeEvent& event)
{
    event.Skip();
    if (event.IsIconized() && minimizeToTray && !restoring) MinimizeToTray();
}

void CTrayDialog::OnWindowDestroy(wxWindowDestroyEvent& event)
{
    event.Skip();
    if (event.GetEventObject() == this) RemoveTrayEntry();
}

void CTrayDialog::OnTrayLButtonDown(const wxPoint&) {}

void CTrayDialog::OnTrayLButtonDblClk(const wxPoint&)
{
    if (minimizeToTray && inTray) RestoreFromTray();
}

void CTrayDialog::OnTrayRButtonDown(const wxPoint&)
{
    if (trayMenu) trayIcon->PopupMenu(trayMenu.get());
}

void CTrayDialog::OnTrayRButtonDblClk(const wxPoint&) {}

void CTrayDialog::OnTrayMouseMove(const wxPoint&) {}

void CTrayDialog::SetTopmost(bool topmost)
{
    long style = GetWindowStyleFlag();
    long wanted = topmost ? (style | wxSTAY_ON_TOP) : (style & ~wxSTAY_ON_TOP);
    if (wanted != style) SetWindowStyleFlag(wanted);
}

void CTrayDialog::TrayShowDisabled(bool disabled)
{
    if (trayMenu && trayMenu->FindItem(ID_TRAY_DISABLE))
        trayMenu->SetLabel(ID_TRAY_DISABLE, disabled ? "Enable" : "Disable");
    TraySetIcon(disabled ? kDisabledIconId : kNormalIconId);
    TrayUpdate();
}

wxRect CTrayDialog::GetTaskbarNotifyRect() const
{
#ifdef __WXGTK__
    // The tray host owns the selection _NET_SYSTEM_TRAY_S<screen>.
    GdkDisplay* gdisplay = gdk_display_get_default();
    if (gdisplay && GDK_IS_X11_DISPLAY(gdisplay)) {
        Display* display = GDK_DISPLAY_XDISPLAY(gdisplay);
        wxString name = wxString::Format("_NET_SYSTEM_TRAY_S%d", DefaultScreen(display));
        Atom selection = XInternAtom(display, name.utf8_str(), True);
        Window owner = selection != None ? XGetSelectionOwner(display, selection) : None;
        XWindowAttributes attributes;
        if (owner != None && XGetWindowAttributes(display, owner, &attributes)) {
            int x = 0, y = 0;
            Window child;
            XTranslateCoordinates(display, owner, DefaultRootWindow(display), 0, 0, &x, &y, &child);
            if (attributes.width > 1 && attributes.height > 1)
                return wxRect(x, y, attributes.width, attributes.height);
        }
    }
#endif
    wxRect work = wxDisplay(wxDisplay::GetFromWindow(this) == wxNOT_FOUND
                                ? 0u
                                : unsigned(wxDisplay::GetFromWindow(this)))
                      .GetClientArea();
    return wxRect(work.GetRight() + 1 - 150, work.GetBottom() + 1 - 30, 150, 30);
}
