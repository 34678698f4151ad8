#include "tray/gui/TrayDialog.h"

#include <wx/display.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/mstream.h>
#include <wx/taskbar.h>
#include <wx/time.h>

#include "platform/Platform.h"
#include "res/Icons.h"
#include "res/Resources.h"
#include "ui/Accessibility.h"

namespace talvero {

namespace {

// On GTK one click on the entry reports one double click and a real double click two; the
// second of a pair must not undo what the first did.
constexpr long kDoubleClickDebounceMs = 500;

// Panels draw the item larger than an XEmbed icon: it gets a larger picture when there is one.
constexpr int kStatusItemIconSize = 64;

std::string PngOf(const wxBitmap& bitmap)
{
    if (!bitmap.IsOk()) return {};
    wxMemoryOutputStream out;
    if (!bitmap.ConvertToImage().SaveFile(out, wxBITMAP_TYPE_PNG)) return {};
    std::string png(out.GetSize(), '\0');
    out.CopyTo(png.data(), png.size());
    return png;
}

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
            if (this->dialog) this->dialog->OnStatusItemCommand(MenuCommandOf(event.GetId()));
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
    // The entry is a window inside the tray host's: when the host drops it, the toolkit may ask
    // about it before it knows.
    SurviveVanishedWindows();
    trayIcon = new CTrayIcon(this);
    statusItem = MakeDesktopStatusNotifierItem("talvero");
    if (statusItem) {
        statusItem->SetConnectionHandler(
            [this](bool connected) { OnStatusItemConnection(connected); });
        // The panel's click comes from the bus: the window answers it from its own loop.
        statusItem->SetActivateHandler([this] { CallAfter([this] { BringForward(); }); });
    }
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
    statusItem.reset();
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
    if (!TraySetIcon(icon)) return false;
    const std::string large = PngOf(res::IconBitmap(iconResourceId, kStatusItemIconSize));
    if (!large.empty()) trayIconPng = large;
    return true;
}

bool CTrayDialog::TraySetIcon(const wxIcon& icon)
{
    if (!icon.IsOk()) return false;
    trayIconImage = icon;
    wxBitmap bitmap;
    bitmap.CopyFromIcon(icon);
    trayIconPng = PngOf(bitmap);
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
    SyncStatusItemMenu();
    return true;
}

void CTrayDialog::SyncStatusItemMenu()
{
    if (!statusItem || !trayMenu) return;
    std::vector<TrayMenuItem> items = {{ID_TRAY_SHOW, kShowWindowLabel}, {}};
    for (const wxMenuItem* item : trayMenu->GetMenuItems()) {
        if (item->IsSeparator())
            items.push_back({});
        else
            items.push_back({MenuCommandOf(item->GetId()), item->GetItemLabelText().utf8_string()});
    }
    // From the event loop: the item's menu reports a choice from inside a bus call, and a
    // command may run a modal dialog.
    statusItem->SetMenu(items, [this](int command) {
        CallAfter([this, command] { OnStatusItemCommand(command); });
    });
}

void CTrayDialog::OnStatusItemCommand(int command)
{
    if (command == ID_TRAY_SHOW) {
        RestoreFromTray();
        return;
    }
    wxCommandEvent event(wxEVT_MENU, command);
    event.SetEventObject(this);
    GetEventHandler()->ProcessEvent(event);
}

void CTrayDialog::OnStatusItemConnection(bool connected)
{
    if (connected || !inTray || !inStatusItem) return;
    // The panel's watcher went away while the window hid in its item: the XEmbed entry takes
    // over where a tray host runs; elsewhere the window comes back, or it could not be reached.
    inStatusItem = false;
    statusItem->SetActive(false);
    if (wxTaskBarIcon::IsAvailable() && trayIcon->SetIcon(IconOrBlank(), trayToolTip)) return;
    inTray = false;
    ShowFromTray();
}

void CTrayDialog::TrayUpdate()
{
    if (!inTray) return;
    if (inStatusItem) {
        statusItem->SetIcon(trayIconPng);
        statusItem->SetToolTip(trayToolTip.utf8_string());
    } else if (trayIconImage.IsOk()) {
        trayIcon->SetIcon(trayIconImage, trayToolTip);
    }
}

wxIcon CTrayDialog::IconOrBlank() const
{
    wxIcon icon = trayIconImage;
    if (!icon.IsOk()) {
        wxBitmap blank(16, 16);
        icon.CopyFromBitmap(blank);
    }
    return icon;
}

bool CTrayDialog::MinimizeToTray()
{
    if (inTray) return false;
    if (statusItem && statusItem->Connected()) {
        statusItem->SetIcon(trayIconPng);
        statusItem->SetToolTip(trayToolTip.utf8_string());
        statusItem->SetActive(true);
        inStatusItem = true;
    } else {
        // Without a tray host the entry would be invisible and the window unreachable.
        if (!wxTaskBarIcon::IsAvailable()) return false;
        if (!trayIcon->SetIcon(IconOrBlank(), trayToolTip)) return false;
    }
    inTray = true;
    hidingIntoTray = true;
    Hide();
    hidingIntoTray = false;
    return true;
}

bool CTrayDialog::RestoreFromTray()
{
    if (!inTray) return false;
    if (inStatusItem) {
        statusItem->SetActive(false);
        inStatusItem = false;
    } else if (!trayIcon->RemoveIcon()) {
        return false;
    }
    inTray = false;
    ShowFromTray();
    return true;
}

void CTrayDialog::BringForward()
{
    if (RestoreFromTray()) return;
    Iconize(false);
    Show();
    Raise();
}

void CTrayDialog::ShowFromTray()
{
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
}

bool CTrayDialog::Show(bool show)
{
    // wxDialog::Show(false) ends a modal run; the window's own hiding does not.
    if (!show && hidingIntoTray) return wxTopLevelWindow::Show(false);
    return wxDialog::Show(show);
}

void CTrayDialog::RemoveTrayEntry()
{
    if (inTray && inStatusItem && statusItem) {
        statusItem->SetActive(false);
    } else if (inTray && trayIcon) {
        trayIcon->RemoveIcon();
    }
    inTray = inStatusItem = false;
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
    if (statusItem) statusItem->SetItemLabel(ID_TRAY_DISABLE, disabled ? "Enable" : "Disable");
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

}  // namespace talvero
