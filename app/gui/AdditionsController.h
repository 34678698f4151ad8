#pragma once
// Additions to the local dictionary and the capture hotkey: the Add, Undo and add-from-results
// buttons, the confirmation, the additions banner, the hotkey's registration and its capture of
// the desktop's selection into the two boxes of new translations.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/gui/MainWindowState.h"
#include "platform/Platform.h"

class wxCommandEvent;
class wxTextCtrl;
class wxWindow;

namespace talvero {

class IBanners;
class ILocalDictionary;
struct Settings;

class CAdditionsController {
public:
    enum class HotkeyBox { Text, Translation };
    // `upload` sends an added pair to the online dictionary (when the settings ask for it) and
    // calls its last argument once that is over.
    using Upload = std::function<void(const std::string& original, const std::string& translation,
                                      std::function<void()> then)>;
    CAdditionsController(wxWindow* window, wxTextCtrl* input, ILocalDictionary& dictionary,
                         IBanners& banners, Platform& platform, const Settings& settings,
                         const MainWindowState& state, Upload upload);
    ~CAdditionsController();

    // Stores the pair, then uploads it aside; `then` runs once all of it is done.
    void AddTranslation(std::string original, std::string translation, std::function<void()> then);
    // Reads the selection into the next box; `done` runs once the selection is read (before
    // an addition it may start). A capture asked for while one is waiting for the selection
    // joins it.
    void CaptureSelection(std::function<void()> done = {});
    // Reads the selection into the input box and runs `translate`; `done` as above.
    void TranslateSelection(std::function<void()> translate, std::function<void()> done = {});
    // The settings' hotkey, registered anew (start-up and after the options dialog).
    void RegisterHotkey();
    // How the last registration went (Unavailable: this desktop has no global hotkeys).
    HotkeyStatus LastHotkeyStatus() const { return hotkeyStatus; }
    HotkeyBox NextHotkeyBox() const { return nextBox; }
    // An addition is under way (its confirmation or its upload is waiting).
    bool Busy() const { return busy; }
    // The window ends: a capture still waiting is not answered.
    void Stop();
    // What the selection shortcut runs once the selection is in the input box.
    void SetTranslateAction(std::function<void()> translate)
    {
        translateAction = std::move(translate);
    }

private:
    void OnAdd(wxCommandEvent& event);
    void OnUndo(wxCommandEvent& event);
    void RunAddAction(const std::string& original, const std::string& translation);
    void RunOneAddition(const std::string& original, const std::string& translation);
    void RunNextAddition();
    void ApplyCapturedText(const std::string& text);
    void TakeHotkeyStatus(HotkeyStatus status);
    wxTextCtrl* Box(int id) const;

    wxWindow* window;
    wxTextCtrl* input;
    ILocalDictionary& dictionary;
    IBanners& banners;
    Platform& platform;
    const Settings& settings;
    const MainWindowState& state;
    Upload upload;
    HotkeyBox nextBox = HotkeyBox::Text;
    HotkeyStatus hotkeyStatus = HotkeyStatus::Pending;
    // One addition at a time (its confirmation and its upload let other commands run); those
    // asked for meanwhile follow in turn.
    bool busy = false;
    std::deque<std::pair<std::string, std::string>> waiting;
    // One read of the selection at a time; the first is under way.
    struct SelectionRead {
        bool forCapture = false;
        std::function<void(const CapturedText&)> use;
        std::vector<std::function<void()>> done;
    };
    void RequestRead(SelectionRead read);
    void StartRead();
    std::deque<SelectionRead> reads;
    // One press handled per turn of the event loop.
    bool captureQueued = false;
    bool translateQueued = false;
    std::function<void()> translateAction;
};

}  // namespace talvero
