// The Translate action and the automatic pass around it. Translate starts the engines and
// returns; the outcome comes back on this thread and is applied then (boxes, banner, near list,
// voice). Meanwhile the window goes on as always: it paints, Esc and Exit work, screen readers
// get their answers, and what is typed or dictated into the input stays there.
#include <wx/button.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include <algorithm>
#include <cmath>

#include "app/gui/TalveroDlg.h"
#include "catalogue/Catalogue.h"
#include "res/Resources.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"

namespace {

// A delay from an edited settings file may be anything: at most a day, at least nothing.
int DelayMs(double ms)
{
    if (!(ms > 0)) return 0;
    return static_cast<int>(std::llround(std::min(ms, 86400000.0)));
}

}  // namespace

void CTalveroDlg::Translate()
{
    StartTranslation(false);
}

void CTalveroDlg::TranslateInput()
{
    StartTranslation(true);
}

void CTalveroDlg::StartTranslation(bool forPass)
{
    if (ended) return;
    // One Translate at a time. A press meanwhile is dropped (the button is off then); the
    // automatic pass gets its turn once the running one is applied.
    if (translation.running) {
        if (forPass) translation.passQueued = true;
        return;
    }
    ClearNearList();
    const std::string text = ToPhrase(input->GetValue());
    if (TrimInput(text).empty()) {
        TalveroMessageBox(kEmptyInputMessage, res::kAppName, wxOK | wxICON_WARNING, this);
        input->SetFocus();
        if (forPass) autoPass.Translated();
        return;
    }
    SetPairPositionsFromCombos();
    translation.running = true;
    translation.forPass = forPass;
    translation.buttonWasEnabled = translateButton->IsEnabled();
    translateButton->Disable();
    wxBeginBusyCursor();
    parts.engines->StartTranslate(text, settings, tasks.Poster(), [this](TranslateOutcome outcome) {
        FinishTranslation(std::move(outcome));
    });
}

void CTalveroDlg::FinishTranslation(TranslateOutcome outcome)
{
    translation.running = false;
    wxEndBusyCursor();
    if (ended) return;
    translateButton->Enable(translation.buttonWasEnabled);
    for (int i = 0; i < kEngineCount; ++i)
        if (outcome.engines[i].outcome == EngineOutcome::Changed)
            resultBoxes[i]->ChangeValue(FromPhrase(outcome.engines[i].text));
    if (outcome.banner.show) parts.banners->ShowTranslation(outcome.banner);
    FillNearList(std::move(outcome.nearList));
    for (const SpeakItem& item : outcome.speakQueue)
        parts.speech->SpeakText(item.text);
    if (translation.forPass) autoPass.Translated();
    if (translation.passQueued && !translation.running) {
        translation.passQueued = false;
        StartTranslation(true);
    }
}

void CTalveroDlg::OnInputChanged(wxCommandEvent&)
{
    // The change notification arrives while the toolkit is still inside the edit (a paste
    // sends it between removing the selection and inserting the text): the pass looks at the
    // text once the edit is complete.
    if (ended) return;
    CallAfter([this] { AutoTranslate(); });
}

void CTalveroDlg::AutoTranslate()
{
    if (ended) return;
    autoPass.InputChanged();
}

void CTalveroDlg::StartDelay(double ms)
{
    if (!autoDelay) {
        autoDelay = std::make_unique<wxTimer>();
        autoDelay->Bind(wxEVT_TIMER, [this](wxTimerEvent&) { autoPass.Elapsed(); });
    }
    autoDelay->StartOnce(DelayMs(ms));
}

std::string CTalveroDlg::ReadInput()
{
    return ToPhrase(input->GetValue());
}

void CTalveroDlg::SetInput(const std::string& text)
{
    input->ChangeValue(FromPhrase(text));
    input->SetInsertionPointEnd();
}

void CTalveroDlg::SpeakRecognizedText()
{
    // The recognizer's last result; before any, whatever the speech layer remembers.
    parts.speech->SpeakText(lastRecognizedText.empty() ? parts.speech->LastRecognizedText()
                                                       : lastRecognizedText);
}
