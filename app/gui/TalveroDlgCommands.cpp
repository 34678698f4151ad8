// What the command line and the desktop's shortcuts ask of the running window.
#include "app/gui/TalveroDlg.h"

namespace talvero {

void CTalveroDlg::RunCommand(const std::string& action, std::function<void()> done)
{
    if (state.Ended() || !state.StartedUp()) {
        done();
        return;
    }
    if (action == "show") {
        BringForward();
        done();
    } else if (action == "capture") {
        additions->CaptureSelection(std::move(done));
    } else if (action == "translate-selection") {
        additions->TranslateSelection([this] { Translate(); }, std::move(done));
    } else {
        done();
    }
}

}  // namespace talvero
