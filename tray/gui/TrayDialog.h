#pragma once
// A dialog that can hide in the desktop's notification area: when `minimizeToTray` is on,
// minimizing puts an icon there instead of the window, double-clicking the icon brings the
// window back, and a right click opens the tray menu, whose commands reach this dialog like
// any other command (wxEVT_MENU with the item's id).
#include <wx/dialog.h>
#include <wx/icon.h>
#include <wx/timer.h>

#include <memory>
#include <string>

class wxMenu;
class wxIconizeEvent;
class wxWindowDestroyEvent;

namespace talvero {

class CTrayIcon;
class CTrayMenuHost;
class INotificationArea;
class IStatusNotifierItem;

class CTrayDialog : public wxDialog {
public:
    CTrayDialog();
    CTrayDialog(wxWindow* parent, wxWindowID id, const wxString& title,
                const wxPoint& pos = wxDefaultPosition, const wxSize& size = wxDefaultSize,
                long style = wxDEFAULT_DIALOG_STYLE, const wxString& name = wxDialogNameStr);
    ~CTrayDialog() override;

    // The notification area holds at most this many characters of tooltip.
    static constexpr size_t kMaxToolTipLength = 127;

    // Loads icon resource `iconResourceId`; a resource that does not load leaves the previous
    // icon. Takes effect at the next minimize into the tray or `TrayUpdate`.
    bool TraySetIcon(int iconResourceId);
    bool TraySetIcon(const wxIcon& icon);
    // Longer texts are cut to kMaxToolTipLength characters.
    void TraySetToolTip(const wxString& text);
    // Keeps the first popup of menu resource `menuResourceId` as the tray menu.
    bool TraySetMenu(int menuResourceId);
    // Shows the current icon and tooltip on the entry, when there is one.
    void TrayUpdate();

    bool IsInTray() const { return inTray; }
    // The tray menu, for changing its items (null before TraySetMenu).
    wxMenu* GetTrayMenu() const { return trayMenu.get(); }
    const wxIcon& GetTrayIcon() const { return trayIconImage; }
    const wxString& GetTrayToolTip() const { return trayToolTip; }

    // What minimizing does when `minimizeToTray` is on. Returns true when the window went into
    // the tray; false when it already was there or no tray host runs on this desktop (the
    // window is then minimized the ordinary way).
    bool MinimizeToTray();
    // Takes the entry away and shows the window again, in front. False when not in the tray.
    bool RestoreFromTray();
    // The window in front, out of the tray or the minimized state (a panel's click on the
    // item, a second start of the program).
    void BringForward();

    // The screen rectangle of the notification area, as well as this desktop tells it.
    wxRect GetTaskbarNotifyRect() const;

    // Places the window in the always-on-top band or the normal band, without moving it.
    void SetTopmost(bool topmost);

    // Shows the tray entry's "disabled" look (icon 129, item 32771 "Enable") or the normal one
    // (icon 128, "Disable").
    void TrayShowDisabled(bool disabled);

    // Minimizing hides the window into the tray. On at construction.
    bool minimizeToTray = true;

    // Hiding a modal dialog would end its modal run; hiding into the tray must not.
    bool Show(bool show = true) override;

    // The entry is the StatusNotifierItem that today's panels show (rather than the XEmbed
    // icon, which serves where no StatusNotifierWatcher runs).
    bool IsInStatusNotifierItem() const { return inTray && inStatusItem; }
    // The menu's first item on such panels, in place of the double click.
    static constexpr const char* kShowWindowLabel = "Show Talvero";

    // The hooks for the entry's mouse messages; `pos` is the cursor in screen coordinates.
    virtual void OnTrayLButtonDown(const wxPoint& pos);
    virtual void OnTrayLButtonDblClk(const wxPoint& pos);
    virtual void OnTrayRButtonDown(const wxPoint& pos);
    virtual void OnTrayRButtonDblClk(const wxPoint& pos);
    virtual void OnTrayMouseMove(const wxPoint& pos);

private:
    void Init();
    void OnIconize(wxIconizeEvent& event);
    void OnWindowDestroy(wxWindowDestroyEvent& event);
    void RemoveTrayEntry();
    void ShowFromTray();
    wxIcon IconOrBlank() const;
    void SyncStatusItemMenu();
    void OnStatusItemCommand(int command);
    void OnStatusItemConnection(bool connected);

    friend class CTrayIcon;
    friend class CTrayMenuHost;

    bool inTray = false;
    bool inStatusItem = false;  // the entry in the tray is the StatusNotifierItem
    wxIcon trayIconImage;
    std::string trayIconPng;  // the same picture for the StatusNotifierItem
    wxString trayToolTip;
    std::unique_ptr<wxMenu> trayMenu;
    CTrayIcon* trayIcon = nullptr;  // created with the dialog, destroyed with it
    CTrayMenuHost* menuHost = nullptr;
    bool restoring = false;
    bool hidingIntoTray = false;
    std::unique_ptr<wxTimer> presentAgain;                        // see RestoreFromTray
    mutable std::unique_ptr<INotificationArea> notificationArea;  // asked on first use
    std::unique_ptr<IStatusNotifierItem> statusItem;              // null without a session bus
};

}  // namespace talvero
