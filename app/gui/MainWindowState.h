#pragma once
// What the parts of the main window read about the window itself.

namespace talvero {

struct MainWindowState {
    enum class Stage { Created, Running, Ended };
    Stage stage = Stage::Created;
    bool disabled = false;  // the tray menu's "Disable": speech is silenced and ignored
    bool StartedUp() const { return stage != Stage::Created; }
    bool Ended() const { return stage == Stage::Ended; }
};

}  // namespace talvero
