// The Translate action waits for the web engines while the window goes on handling its events:
// it paints, moves, and Esc, Exit and closing work. Translate and the input box are disabled
// until the results are applied, so no second translation starts meanwhile.
#include <wx/button.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "app/gui/TalveroDlg.h"
#include "ui/WaitPumping.h"

namespace {

// How often the window looks whether the engines have answered. Well under the 100 ms a user
// would notice as a stalled window.
constexpr double kPollMs = 10;

}  // namespace

void CTalveroDlg::SetUpResponsiveTranslate()
{
    parts.engines->SetWebWait([this](const std::function<bool()>& answered) {
        while (!answered()) {
            if (ended) return false;
            ::WaitPumping(kPollMs, [this] { return !ended; });
        }
        return !ended;
    });
}

TranslateOutcome CTalveroDlg::TranslateKeepingTheWindowResponsive(const std::string& text)
{
    translating = true;
    const bool buttonWasEnabled = translateButton->IsEnabled();
    translateButton->Disable();
    input->SetEditable(false);
    TranslateOutcome outcome;
    {
        wxBusyCursor wait;
        outcome = parts.engines->Translate(text, settings);
    }
    translating = false;
    if (!ended) {
        translateButton->Enable(buttonWasEnabled);
        input->SetEditable(true);
    }
    return outcome;
}
