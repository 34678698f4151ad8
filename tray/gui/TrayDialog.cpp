#include "tray/gui/TrayDialog.h"

#include <wx/display.h>
#include <wx/menu.h>
#include <wx/taskbar.h>
#include <wx/time.h>

#include "platform/Platform.h"
#include "res/Resources.h"
#include "ui/Accessibility.h"

namespace {

// On GTK one click on the entry reports one double click and a real double click two; the
// second of a pair must not undo what the first did.
constexpr long kDoubleClickDebounceMs = 500;

}  // namespace

// The entry itself: turns the entry's mouse events into the dialog's hooks.
class CTrayIcon : public wxTaskBarIcon {
public:
    explicit CTrayIcon(CTrayDialog* dialog) : dialog(dialog)
    {
        // Each handler lets the event go on: GTK reports no double click after a button press
        // that was handled.
        Bind(wxEVT_TASKBAR_LEFT_DOWN, [this](wxTaskBarIconEvent& event) {
            event.Skip();
            if (this->dialog) this->dialog->OnTrayLButtonDown(wxGetMousePosition());
        });
        Bind(wxEVT_TASKBAR_LEFT_DCLICK, [this](wxTaskBarIconEvent&) {
            wxLongLong now = wxGetUTCTimeMillis();
            if (lastDoubleClick != 0 && now - lastDoubleClick < kDoubleClickDebounceMs) return;
            lastDoubleClick = now;
            if (this->dialog) this->dialog->OnTrayLButtonDblClk(wxGetMousePosition());
        });
        Bind(wxEVT_TASKBAR_RIGHT_DOWN, [this](wxTaskBarIconEvent& event) {
            event.Skip();
            if (this->dialog) this->dialog->OnTrayRButtonDown(wxGetMousePosition());
        });
        Bind(wxEVT_TASKBAR_RIGHT_DCLICK, [this](wxTaskBarIconEvent& event) {
            event.Skip();
            if (this->dialog) this->dialog->OnTrayRButtonDblClk(wxGetMousePosition());
        });
        Bind(wxEVT_TASKBAR_MOVE, [this](wxTaskBarIconEvent& event) {
            event.Skip();
            if (this->dialog) this->dialog->OnTrayMouseMove(wxGetMousePosition());
        });
    }

    CTrayDialog* dialog;
    wxLongLong lastDoubleClick = 0;
};

// The invisible window the tray menu pops up from. wxGTK drops the commands of a menu whose
// window is not a dialog while a modal dialog runs, and the main window runs modally; so the
// menu's window is a dialog of its own, never shown, that hands each command on.
class CTrayMenuHost : public wxDialog {
public:
    explicit CTrayMenuHost(CTrayDialog* dialog)
        : wxDialog(nullptr, wxID_ANY, wxEmptyString), dialog(dialog)
    {
        Bind(wxEVT_MENU, [this](wxCommandEvent& event) {
            if (!this->dialog) return;
            wxCommandEvent command(wxEVT_MENU, MenuCommandOf(event.GetId()));
            command.SetEventObject(this->dialog);
            command.SetInt(event.GetInt());
            this->dialog->GetEventHandler()->ProcessEvent(command);
        });
    }
    CTrayDialog* dialog;
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
    presentAgain = std::make_unique<wxTimer>(this);
    Bind(
        wxEVT_TIMER,
        [this](wxTimerEvent&) {
            if (IsShown() && !IsIconized() && !IsActive()) Raise();
        },
        presentAgain->GetId());
}

CTrayDialog::~CTrayDialog()
{
    // wx sends the destroy event from its own destructor, after this one: the handler would run
    // on a dialog that is no longer a CTrayDialog.
    Unbind(wxEVT_DESTROY, &CTrayDialog::OnWindowDestroy, this);
    RemoveTrayEntry();
    trayIcon->dialog = nullptr;
    if (menuHost) {
        menuHost->dialog = nullptr;
        menuHost->Destroy();
        menuHost = nullptr;
    }
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
    TagMenuItems(menu.get(), [](int item) { return MenuCommandOf(item); });
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
    hidingIntoTray = true;
    Hide();
    hidingIntoTray = false;
    return true;
}

bool CTrayDialog::RestoreFromTray()
{
    if (!inTray) return false;
    if (!trayIcon->RemoveIcon()) return false;
    inTray = false;
    restoring = true;
    // Deiconified before it is shown: otherwise GTK maps it minimized, as it was when hidden,
    // and that minimize would send it straight back into the tray.
    Iconize(false);
    Show();
    Raise();
    // The second click of a double click lands where the entry was, after the window asked for
    // the focus, and the window manager then leaves it inactive: ask once more when that click
    // has passed.
    presentAgain->StartOnce(600);
    restoring = false;
    return true;
}

bool CTrayDialog::Show(bool show)
{
    // wxDialog::Show(false) ends a modal run; the window's own hiding does not.
    if (!show && hidingIntoTray) return wxTopLevelWindow::Show(false);
    return wxDialog::Show(show);
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
    if (!trayMenu) return;
    if (!menuHost) menuHost = new CTrayMenuHost(this);
    // A modal run that began after the host was made has disabled it.
    menuHost->Enable(true);
    // The commands reach this dialog under their own numbers (32771 ...).
    menuHost->PopupMenu(trayMenu.get(), wxPoint(-1, -1));
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
    const int item = MenuItemIdOf(ID_TRAY_DISABLE);
    if (trayMenu && trayMenu->FindItem(item))
        trayMenu->SetLabel(item, disabled ? "Enable" : "Disable");
    TraySetIcon(disabled ? res::kDisabledIcon : res::kMainIcon);
    TrayUpdate();
}

wxRect CTrayDialog::GetTaskbarNotifyRect() const
{
    wxRect work = wxDisplay(0u).GetClientArea();
    // The panel's end towards the notification area is where a taskbar keeps it.
    if (!notificationArea) notificationArea = MakeDesktopNotificationArea();
    if (std::optional<ScreenRect> found = notificationArea->DockPanel()) {
        const wxRect panel(found->x, found->y, found->width, found->height);
        int left = panel.GetLeft(), top = panel.GetTop();
        int right = panel.GetRight() + 1, bottom = panel.GetBottom() + 1;
        bool vertical = panel.GetHeight() > panel.GetWidth();
        // A small panel (a tray host alone) is the notification area itself.
        if (vertical && panel.GetHeight() > 100)
            return wxRect(wxPoint(left, bottom - 100), wxPoint(right - 1, bottom - 17));
        if (!vertical && panel.GetWidth() > 100)
            return wxRect(wxPoint(right - 100, top), wxPoint(right - 17, bottom - 1));
        return panel;
    }
    return wxRect(work.GetRight() + 1 - 150, work.GetBottom() + 1 - 30, 150, 30);
}
