#include "app/gui/TranslationView.h"

#include <thread>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/utils.h>

#include "app/WindowServices.h"
#include "app/gui/Banners.h"
#include "catalogue/Catalogue.h"
#include "res/Ids.h"
#include "res/Templates.h"
#include "settings/Settings.h"
#include "ui/DialogBuilder.h"
#include "ui/ListSpeed.h"
#include "ui/MessageBox.h"

namespace talvero {

using namespace res::ctl;

namespace {
int Settings::*const kPairMembers[4] = {
    &Settings::googlePairPosition, &Settings::babelfishPairPosition,
    &Settings::freeTranslationPairPosition, &Settings::localPairPosition};
}  // namespace

CTranslationView::CTranslationView(Controls controls, ITranslationEngines& engines,
                                   ILocalDictionary& dictionary, ISpeech& speech, IBanners& banners,
                                   Settings& settings, PostToOwner postIn)
    : c(controls),
      dictionary(dictionary),
      banners(banners),
      settings(settings),
      post(std::move(postIn)),
      presenter(*this, engines, dictionary, speech, settings, post)
{
    wxWindow* w = c.window;
    w->Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { presenter.Translate(); }, kTranslate);
    w->Bind(wxEVT_BUTTON, &CTranslationView::OnClear, this, kClear);
    // The change notification arrives while the toolkit is still inside the edit (a paste
    // sends it between removing the selection and inserting the text): the pass looks at the
    // text once the edit is complete.
    w->Bind(
        wxEVT_TEXT, [this](wxCommandEvent&) { post([this] { presenter.InputChanged(); }); },
        kInput);
    w->Bind(
        wxEVT_CHOICE, [this](wxCommandEvent&) { SwitchLocalPair(); }, kLocalPair);
    w->Bind(
        wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent&) { OpenNearEntry(); }, kNearList);
}

CTranslationView::~CTranslationView()
{
    if (presenter.Running()) wxEndBusyCursor();
}

void CTranslationView::Stop()
{
    presenter.Stop();
    if (delay) delay->Stop();
}

void CTranslationView::SetUpNearList()
{
    for (wxChoice* combo : c.pairCombos)
        FixChoiceWidth(combo);
    PrepareSortedList(c.nearList);
    nearFiller = std::make_unique<CSortedListFiller>(
        c.nearList, [](const std::string& phrase) { return FromPhrase(phrase); });
}

void CTranslationView::OpenNearEntry()
{
    const int sel = c.nearList->GetSelection();
    if (sel != wxNOT_FOUND) presenter.OpenNearEntry(ToPhrase(c.nearList->GetString(sel)));
}

void CTranslationView::OnClear(wxCommandEvent&)
{
    c.input->ChangeValue(wxString());
    for (wxTextCtrl* box : c.resultBoxes)
        box->ChangeValue(wxString());
    ClearNearList();
}

std::string CTranslationView::ReadInput()
{
    return ToPhrase(c.input->GetValue());
}

void CTranslationView::SetInput(const std::string& text)
{
    c.input->ChangeValue(FromPhrase(text));
    c.input->SetInsertionPointEnd();
}

void CTranslationView::ReadPairPositions(Settings& s)
{
    for (int i = 0; i < 4; ++i)
        s.*kPairMembers[i] = c.pairCombos[i]->GetSelection();
}

void CTranslationView::SayInputEmpty()
{
    TalveroMessageBox(kEmptyInputMessage, res::kAppName, wxOK | wxICON_WARNING, c.window);
    c.input->SetFocus();
}

void CTranslationView::ShowTranslating(bool on)
{
    if (on) {
        buttonWasEnabled = c.translateButton->IsEnabled();
        c.translateButton->Disable();
        wxBeginBusyCursor();
        return;
    }
    wxEndBusyCursor();
    c.translateButton->Enable(buttonWasEnabled && !pairLoading);
}

void CTranslationView::SetResult(int engine, const std::string& text)
{
    c.resultBoxes[static_cast<size_t>(engine)]->ChangeValue(FromPhrase(text));
}

void CTranslationView::ShowBanner(const BannerDecision& banner)
{
    banners.ShowTranslation(banner);
}

void CTranslationView::ClearNearList()
{
    nearFiller->Cancel();
    c.nearList->Clear();
}

void CTranslationView::FillNearList(std::vector<std::string> phrases)
{
    nearFiller->Fill(std::move(phrases));
}

void CTranslationView::StartDelay(int ms)
{
    if (startDelay) {
        startDelay(ms, [this] { presenter.DelayElapsed(); });
        return;
    }
    if (!delay) {
        delay = std::make_unique<wxTimer>();
        delay->Bind(wxEVT_TIMER, [this](wxTimerEvent&) { presenter.DelayElapsed(); });
    }
    delay->StartOnce(ms);
}

void CTranslationView::ShowLoadMessages(const std::vector<std::string>& messages)
{
    for (const std::string& message : messages)
        TalveroMessageBox(FromPhrase(message), res::kAppName, wxOK, c.window);
}

void CTranslationView::StartDictionaryLoad()
{
    // Whatever uses the dictionary before the load is done waits for it. A file that cannot be
    // opened is reported now, as a load here would; what only the load finds, once it is done.
    PostToOwner later = post;
    ShowLoadMessages(
        dictionary.LoadInBackground(settings.localDictionaryFile, settings.personalDictionaryFile,
                                    [this, later](std::vector<std::string> messages) {
                                        later([this, messages] { ShowLoadMessages(messages); });
                                    }));
}

void CTranslationView::SwitchLocalPair()
{
    if (pairLoading) {  // the list is off meanwhile; a change made all the same follows
        pairQueued = true;
        return;
    }
    const PairEntry* e = PairAt(PairList::Local, c.pairCombos[3]->GetSelection());
    if (!e) return;  // a change without a valid selection loads nothing
    pairLoading = true;
    presenter.SetDictionaryLoading(true);
    c.translateButton->Disable();
    c.pairCombos[3]->Disable();
    settings.localPairPosition = e->position;
    settings.localDictionaryFile = LocalDictionaryFileName(e->dictionaryCode);
    settings.personalDictionaryFile = PersonalDictionaryFileName(e->dictionaryCode);
    // A dictionary that loads here and now ends before the call returns; one that loads aside
    // ends on its own thread and is finished on this one, while the window still lives.
    struct Here {
        bool calling = true;
        bool done = false;
        std::vector<std::string> messages;
    };
    auto here = std::make_shared<Here>();
    const std::thread::id ui = std::this_thread::get_id();
    PostToOwner later = post;
    const std::vector<std::string> known =
        dictionary.LoadInBackground(settings.localDictionaryFile, settings.personalDictionaryFile,
                                    [this, here, ui, later](std::vector<std::string> messages) {
                                        if (std::this_thread::get_id() == ui && here->calling) {
                                            here->done = true;
                                            here->messages = std::move(messages);
                                            return;
                                        }
                                        later([this, messages] { LoadFinished(messages); });
                                    });
    here->calling = false;
    ShowLoadMessages(known);
    if (here->done) LoadFinished(here->messages);
}

void CTranslationView::LoadFinished(const std::vector<std::string>& messages)
{
    pairLoading = false;
    if (!presenter.Running()) c.translateButton->Enable();
    c.pairCombos[3]->Enable();
    presenter.SetDictionaryLoading(false);
    ShowLoadMessages(messages);
    if (pairQueued) {
        pairQueued = false;
        SwitchLocalPair();
    }
}

}  // namespace talvero
