#include "app/gui/TalveroDlg.h"

#include <cmath>
#include <cstdio>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/fontenum.h>
#include <wx/listbox.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "app/gui/AboutDlg.h"
#include "app/gui/DelayDlg.h"
#include "app/gui/TalveroEvents.h"
#include "catalogue/Catalogue.h"
#include "res/Icons.h"
#include "res/Resources.h"
#include "res/Templates.h"
#include "settings/FieldValidation.h"
#include "ui/Accessibility.h"
#include "ui/DialogBuilder.h"
#include "ui/GtkTweaks.h"
#include "ui/MessageBox.h"
#include "ui/TextSelection.h"

namespace {

// Control ids of the main window.
using namespace res::ctl;

constexpr int kDialogFontPoints = 9;

// Check boxes held by settings keys. Flag boxes update their member when clicked; the others are
// read from the control when the settings are written.
struct CheckBinding {
    int id;
    bool Settings::*member;
    bool isFlag;
};
const CheckBinding kCheckBindings[] = {
    {kUseLocal, &Settings::useLocalDictionary, true},
    {kUseGoogle, &Settings::useGoogle, true},
    {kUseBabelfish, &Settings::useBabelfish, true},
    {kUseFreeTranslation, &Settings::useFreeTranslation, true},
    {kRecognition, &Settings::activateSpeechRecognition, true},
    {kAutoTranslate, &Settings::launchTranslationAutomatically, true},
    {kTranslateHypothesis, &Settings::translateHypothesis, false},
    {kSpeakGoogle, &Settings::speakGoogle, true},
    {kSpeakBabelfish, &Settings::speakBabelfish, true},
    {kSpeakFreeTranslation, &Settings::speakFreeTranslation, true},
    {kSpeakLocal, &Settings::speakLocal, true},
    {kNearSearch, &Settings::nearSearch, true},
    {kHotkeyFills, &Settings::hotkeyFillsBoxes, true},
    {kAddAutomatically, &Settings::addAutomaticallyWhenFilled, false},
    {kTranslateHistorySelection, &Settings::translateHistorySelection, false},
    {kCopyOnlyToHistory, &Settings::copyRecognizedOnlyToHistory, true},
};

const PairList kPairLists[4] = {PairList::Google, PairList::Babelfish, PairList::FreeTranslation,
                                PairList::Local};
int Settings::*const kPairMembers[4] = {
    &Settings::googlePairPosition, &Settings::babelfishPairPosition,
    &Settings::freeTranslationPairPosition, &Settings::localPairPosition};

}  // namespace

wxBEGIN_EVENT_TABLE(CTalveroDlg, CTrayDialog)
    EVT_INIT_DIALOG(CTalveroDlg::OnInitDialog)
    EVT_BUTTON(kExit, CTalveroDlg::OnExit)
    EVT_BUTTON(kCancel, CTalveroDlg::OnCancel)
    EVT_CLOSE(CTalveroDlg::OnClose)
    EVT_CHAR_HOOK(CTalveroDlg::OnCharHook)
    EVT_BUTTON(kTranslate, CTalveroDlg::OnTranslate)
    EVT_TEXT(kInput, CTalveroDlg::OnInputChanged)
    EVT_BUTTON(kClear, CTalveroDlg::OnClear)
    EVT_BUTTON(kClearHistory, CTalveroDlg::OnClearHistory)
    EVT_BUTTON(kSetDelay, CTalveroDlg::OnSetTimeDelay)
    EVT_CHECKBOX(wxID_ANY, CTalveroDlg::OnFlagCheck)
    EVT_CHOICE(kLocalPair, CTalveroDlg::OnLocalPairChanged)
    EVT_LISTBOX_DCLICK(kNearList, CTalveroDlg::OnNearListDoubleClick)
    EVT_BUTTON(kOptions, CTalveroDlg::OnOptions)
    EVT_MENU(res::kCmdOptions, CTalveroDlg::OnOptions)
    EVT_MENU(res::kCmdAbout, CTalveroDlg::OnAbout)
    EVT_BUTTON(res::kWindowMenuButton, CTalveroDlg::OnWindowMenuButton)
    EVT_CONTEXT_MENU(CTalveroDlg::OnContextMenu)
    EVT_MENU(ID_TRAY_DISABLE, CTalveroDlg::OnTrayDisable)
    EVT_MENU(ID_TRAY_OPTIONS, CTalveroDlg::OnOptions)
    EVT_MENU(ID_TRAY_EXIT, CTalveroDlg::OnTrayExit)
wxEND_EVENT_TABLE()

CTalveroDlg::Parts CTalveroDlg::DefaultParts()
{
    Parts p;
    p.dictionary = MakeLocalDictionary();
    p.engines = MakeTranslationEngines(*p.dictionary);
    p.speech = MakeDesktopSpeech();
    p.banners = MakeBanners();
    return p;
}

CTalveroDlg::CTalveroDlg(wxWindow* parent, Parts partsIn)
    : CTrayDialog(parent, wxID_ANY, wxString::FromUTF8(res::MainDialog().caption),
                  wxDefaultPosition, wxDefaultSize,
                  wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxCLOSE_BOX),
      parts(std::move(partsIn))
{
    if (!parts.dictionary) parts.dictionary = MakeLocalDictionary();
    if (!parts.engines) parts.engines = MakeTranslationEngines(*parts.dictionary);
    if (!parts.speech) parts.speech = MakeSilentSpeech();
    if (!parts.banners) parts.banners = MakeBanners();
    if (!parts.platform.hotkey) parts.platform = MakeDesktopPlatform();

    wxFont font = GetFont();
    font.SetPointSize(kDialogFontPoints);
    SetFont(font);

    CreateControls();
    LayOut();
    TagTemplateControls(this, res::MainDialog());

    Bind(TALVERO_EVT_RECOGNITION, &CTalveroDlg::OnRecognitionEvent, this);
    Bind(TALVERO_EVT_VOICE, &CTalveroDlg::OnVoiceEvent, this);
    SetEscapeId(wxID_NONE);  // Esc is routed to the hidden "Cancel" in OnCharHook
    SetUpAdditions();
    SetUpKeys();
}

CTalveroDlg::~CTalveroDlg()
{
    // Nothing started for this window may continue into it or outlive it.
    tasks.Drop();
    if (parts.platform.clipboard) parts.platform.clipboard->CancelCapture();
    parts.engines.reset();
    if (translation.running) wxEndBusyCursor();
    if (autoDelay) autoDelay->Stop();
    StopDictation();
}

// ---------------------------------------------------------------------------------------------
// Controls and layout

void CTalveroDlg::CreateControls()
{
    // Controls outside group boxes are created here; those inside a group are created in
    // LayOut() as children of their group box.
    const res::Dialog& t = res::MainDialog();
    for (const res::Control& c : t.controls) {
        if (c.id < 0) continue;
        switch (c.id) {
            case kNewText:
            case kNewTranslation:
            case kAdd:
            case kUndo:
            case kUpload:
            case kHotkeyFills:
            case kAddAutomatically:
            case kVoiceName:
            case kStop:
            case kPause:
            case kSelectVoice:
            case kRepeat:
            case kRecognition:
            case kCopyOnlyToHistory:
            case kPunctuationMarks:
            case kPunctuation:
            case kUppercase:
            case kEngine:
            case kTrain:
                continue;
            default:
                CreateTemplateControl(this, t, c.id);
        }
    }
    input = static_cast<wxTextCtrl*>(FindWindow(kInput));
    translateButton = static_cast<wxButton*>(FindWindow(kTranslate));
    history = static_cast<wxTextCtrl*>(FindWindow(kHistory));
    hypothesis = static_cast<wxTextCtrl*>(FindWindow(kHypothesis));
    nearList = static_cast<wxListBox*>(FindWindow(kNearList));
    const int results[4] = {kGoogleResult, kBabelfishResult, kFreeTranslationResult, kLocalResult};
    const int pairs[4] = {kGooglePair, kBabelfishPair, kFreeTranslationPair, kLocalPair};
    for (int i = 0; i < 4; ++i) {
        resultBoxes[i] = static_cast<wxTextCtrl*>(FindWindow(results[i]));
        pairCombos[i] = static_cast<wxChoice*>(FindWindow(pairs[i]));
    }
}

void CTalveroDlg::LayOut()
{
    const res::Dialog& t = res::MainDialog();
    const wxSize du = ConvertDialogToPixels(wxSize(4, 4));
    const int gap = du.x;       // 4 dialog units
    const int vgap = du.y / 2;  // 2 dialog units
    const int margin = gap + gap / 2;
    auto win = [this](int id) { return FindWindow(id); };
    auto label = [&](wxWindow* parent, const char* text) {
        return CreateTemplateLabel(parent, t, text);
    };
    auto make = [&](wxWindow* parent, int id) { return CreateTemplateControl(parent, t, id); };

    auto* top = new wxBoxSizer(wxVERTICAL);

    // Input, history and hypothesis, dictation.
    auto* band1 = new wxBoxSizer(wxHORIZONTAL);
    auto* inputCol = new wxBoxSizer(wxVERTICAL);
    inputCol->Add(label(this, "Text to translate"));
    inputCol->Add(input, 1, wxEXPAND | wxTOP, vgap);
    auto* inputButtons = new wxBoxSizer(wxHORIZONTAL);
    inputButtons->Add(translateButton);
    inputButtons->Add(win(kClear), 0, wxLEFT, gap);
    inputButtons->Add(win(kSetDelay), 0, wxLEFT, gap);
    inputCol->Add(inputButtons, 0, wxTOP, vgap * 2);
    // Two lines, so that the dictation group has room for the punctuation patterns.
    auto* autoTranslate = static_cast<wxCheckBox*>(win(kAutoTranslate));
    WrapCheckBoxLabel(autoTranslate, 34);
    inputCol->Add(autoTranslate, 0, wxTOP, vgap * 2);
    band1->Add(inputCol, 1, wxEXPAND);

    auto* historyCol = new wxBoxSizer(wxVERTICAL);
    auto* historyHead = new wxBoxSizer(wxHORIZONTAL);
    historyHead->Add(label(this, "Recognized text history:"), 0, wxALIGN_BOTTOM);
    historyHead->AddStretchSpacer();
    historyHead->Add(win(kClearHistory), 0, wxLEFT, gap);
    historyCol->Add(historyHead, 0, wxEXPAND);
    historyCol->Add(history, 1, wxEXPAND | wxTOP, vgap);
    historyCol->Add(win(kTranslateHistorySelection), 0, wxTOP, vgap);
    historyCol->Add(label(this, "Speech recognition hypothesis:"), 0, wxTOP, vgap * 2);
    hypothesis->SetMinSize(wxSize(-1, ConvertDialogToPixels(wxSize(0, 20)).y));
    historyCol->Add(hypothesis, 0, wxEXPAND | wxTOP, vgap);
    historyCol->Add(win(kTranslateHypothesis), 0, wxTOP, vgap);
    band1->Add(historyCol, 1, wxEXPAND | wxLEFT, gap + gap / 2);

    auto* dictation = new wxStaticBoxSizer(wxVERTICAL, this, "Dictation");
    wxWindow* box = dictation->GetStaticBox();
    dictation->Add(make(box, kRecognition), 0, wxBOTTOM, vgap);
    dictation->Add(make(box, kCopyOnlyToHistory), 0, wxBOTTOM, vgap);
    auto* punctRow = new wxBoxSizer(wxHORIZONTAL);
    punctRow->Add(make(box, kPunctuationMarks), 0, wxALIGN_CENTER_VERTICAL);
    punctuation = static_cast<wxComboBox*>(make(box, kPunctuation));
    // The patterns are a few characters long: the edit field must show them whole.
    SetComboEntryWidth(punctuation, 6);
    punctuation->SetMinSize(punctuation->GetBestSize());
    punctRow->Add(punctuation, 1, wxLEFT | wxALIGN_CENTER_VERTICAL, gap);
    dictation->Add(punctRow, 0, wxEXPAND | wxBOTTOM, vgap);
    dictation->Add(make(box, kUppercase), 0, wxBOTTOM, vgap);
    auto* engineRow = new wxBoxSizer(wxHORIZONTAL);
    engineRow->Add(label(box, "Engine:"), 0, wxALIGN_CENTER_VERTICAL);
    wxWindow* engine = make(box, kEngine);
    engine->SetMinSize(wxSize(ConvertDialogToPixels(wxSize(60, 0)).x, engine->GetBestSize().y));
    engineRow->Add(engine, 1, wxLEFT | wxALIGN_CENTER_VERTICAL, gap);
    dictation->Add(engineRow, 0, wxEXPAND | wxBOTTOM, vgap);
    dictation->Add(make(box, kTrain), 0, wxEXPAND);
    band1->Add(dictation, 0, wxEXPAND | wxLEFT, gap + gap / 2);
    top->Add(band1, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, margin);

    // The four engine rows: use box over pair list, result box, Speak over Add.
    auto* engines = new wxFlexGridSizer(3, vgap, gap + gap / 2);
    engines->AddGrowableCol(1, 1);
    const int uses[4] = {kUseGoogle, kUseBabelfish, kUseFreeTranslation, kUseLocal};
    const int speaks[4] = {kSpeakGoogle, kSpeakBabelfish, kSpeakFreeTranslation, kSpeakLocal};
    const int adds[4] = {kAddGoogle, kAddBabelfish, kAddFreeTranslation, 0};
    for (int i = 0; i < 4; ++i) {
        // The result boxes' large font must not push the rows beyond the window.
        resultBoxes[i]->SetMinSize(wxSize(ConvertDialogToPixels(wxSize(120, 0)).x,
                                          ConvertDialogToPixels(wxSize(0, 20)).y));
        auto* left = new wxBoxSizer(wxVERTICAL);
        left->Add(win(uses[i]), 0, wxBOTTOM, vgap);
        left->Add(pairCombos[i], 0, wxEXPAND);
        engines->Add(left, 0, wxEXPAND);
        engines->Add(resultBoxes[i], 1, wxEXPAND);
        auto* right = new wxBoxSizer(wxVERTICAL);
        right->Add(win(speaks[i]), 0, wxBOTTOM, vgap);
        if (adds[i]) right->Add(win(adds[i]), 0, wxEXPAND);
        engines->Add(right, 0, wxEXPAND);
        engines->AddGrowableRow(i, 1);
    }
    top->Add(engines, 1, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, margin);

    // Near search, additions, voice and the window's own buttons.
    auto* band3 = new wxBoxSizer(wxHORIZONTAL);
    auto* nearCol = new wxBoxSizer(wxVERTICAL);
    auto* nearSearch = static_cast<wxCheckBox*>(win(kNearSearch));
    WrapCheckBoxLabel(nearSearch, 24);
    nearCol->Add(nearSearch);
    nearCol->Add(nearList, 1, wxEXPAND | wxTOP, vgap);
    band3->Add(nearCol, 1, wxEXPAND);

    auto* adding =
        new wxStaticBoxSizer(wxVERTICAL, this, "Add new translations to the personal dictionary");
    box = adding->GetStaticBox();
    auto* fields = new wxFlexGridSizer(2, vgap, gap);
    fields->AddGrowableCol(1, 1);
    fields->Add(label(box, "Text"), 0, wxALIGN_CENTER_VERTICAL);
    fields->Add(make(box, kNewText), 1, wxEXPAND);
    fields->Add(label(box, "Translation"), 0, wxALIGN_CENTER_VERTICAL);
    fields->Add(make(box, kNewTranslation), 1, wxEXPAND);
    adding->Add(fields, 0, wxEXPAND | wxBOTTOM, vgap);
    auto* addButtons = new wxBoxSizer(wxHORIZONTAL);
    addButtons->Add(make(box, kAdd));
    addButtons->Add(make(box, kUndo), 0, wxLEFT, gap);
    // "^" needs no more than its own width; the hotkey box shares the row, which keeps the
    // window's fixed height within reach of every row.
    wxWindow* upload = make(box, kUpload);
    upload->SetWindowStyleFlag(upload->GetWindowStyleFlag() | wxBU_EXACTFIT);
    upload->InvalidateBestSize();
    addButtons->Add(upload, 0, wxLEFT, gap);
    addButtons->Add(make(box, kHotkeyFills), 0, wxLEFT | wxALIGN_CENTER_VERTICAL, gap * 2);
    adding->Add(addButtons, 0, wxBOTTOM, vgap);
    auto* addAuto = static_cast<wxCheckBox*>(make(box, kAddAutomatically));
    WrapCheckBoxLabel(addAuto, 37);
    adding->Add(addAuto);
    band3->Add(adding, 0, wxEXPAND | wxLEFT, gap + gap / 2);

    auto* rightCol = new wxBoxSizer(wxVERTICAL);
    auto* voice = new wxStaticBoxSizer(wxVERTICAL, this, "Text To Speech Voice");
    box = voice->GetStaticBox();
    wxWindow* voiceName = make(box, kVoiceName);
    voiceName->SetMinSize(voiceName->GetBestSize());
    voice->Add(voiceName, 0, wxEXPAND | wxBOTTOM, vgap);
    auto* voiceButtons = new wxGridSizer(2, vgap, gap);
    for (int id : {kStop, kPause, kSelectVoice, kRepeat})
        voiceButtons->Add(make(box, id), 0, wxEXPAND);
    voice->Add(voiceButtons, 0, wxEXPAND);
    rightCol->Add(voice, 0, wxEXPAND);
    rightCol->AddStretchSpacer();
    auto* windowButtons = new wxBoxSizer(wxHORIZONTAL);
    windowButtons->Add(win(kOptions));
    windowButtons->Add(win(res::kWindowMenuButton), 0, wxLEFT, gap);
    windowButtons->Add(win(kExit), 0, wxLEFT, gap);
    rightCol->Add(windowButtons, 0, wxALIGN_RIGHT | wxTOP, vgap * 2);
    band3->Add(rightCol, 0, wxEXPAND | wxLEFT, gap + gap / 2);
    top->Add(band3, 0, wxEXPAND | wxALL, margin);

    // Keep the groups' contents off their frames, the bottom one included: the toolkit's own
    // bottom margin is thin enough for the frame to cut into the last row of buttons.
    for (wxStaticBoxSizer* group : {dictation, adding, voice}) {
        for (wxSizerItem* item : group->GetChildren()) {
            item->SetFlag(item->GetFlag() | wxLEFT | wxRIGHT);
            item->SetBorder(vgap);
        }
        wxSizerItem* last = group->GetItem(group->GetItemCount() - 1);
        last->SetFlag(last->GetFlag() | wxBOTTOM);
    }

    // Hidden controls without a function take no room.
    for (int id : {kCancel, kVoiceSpeech, kSpeakSelection})
        win(id)->Hide();

    SetSizer(top);
    const res::Dialog& d = res::MainDialog();
    const wxSize fixed = ConvertDialogToPixels(wxSize(d.widthDu, d.heightDu));
    SetClientSize(fixed);
    const wxSize outer = GetSize();
    SetSizeHints(outer, outer);
    MakeNotResizable(this);
    Layout();
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void CTalveroDlg::OnInitDialog(wxInitDialogEvent&)
{
    StartUp();
}

bool CTalveroDlg::Show(bool show)
{
    if (show) StartUp();
    return CTrayDialog::Show(show);
}

void CTalveroDlg::StartUp()
{
    if (startedUp) return;
    startedUp = true;
    // The window menu ("Options", "&About Talvero...") is built when it is opened: this
    // desktop's window manager menu cannot be extended.
    SetIcons(res::IconBundle(res::kMainIcon));
    FillLanguagePairCombos();
    SetUpListsForSpeed();
    // Speech may report that no recognizer exists; start-up goes on either way.
    parts.speech->SetUp();
    SetUpVoice();
    SetUpDictation();
    autoState.autoTranslateBusy = false;
    parts.banners->Create(this);
    settings.minimizeToTray = true;
    minimizeToTray = true;
    TraySetIcon(res::kMainIcon);
    TraySetToolTip("Talvero");
    TraySetMenu(res::kTrayMenu);
    settings.localDictionaryFile = LocalDictionaryFileName("es_en");
    settings.personalDictionaryFile = PersonalDictionaryFileName("es_en");
    historySelectionWatch = WatchSelectionChanges(history, [this] {
        if (historyClearing || historySelectionPending) return;
        historySelectionPending = true;
        CallAfter([this] {
            historySelectionPending = false;
            OnHistorySelectionChanged();
        });
    });
    punctuation->SetSelection(1);
    LoadSettingsIntoWindow();
    RegisterCaptureHotkey();
    StartDictionaryLoad();
    ApplyTextBoxFont(settings.fontSize);
    SetUpOnline();
    EmptyNewTranslationsFile();
    input->SetFocus();
}

void CTalveroDlg::FillLanguagePairCombos()
{
    for (int i = 0; i < 4; ++i) {
        wxArrayString names;
        for (const PairEntry& e : PairsOf(kPairLists[i]))
            names.Add(FromPhrase(e.displayName));
        pairCombos[i]->Set(names);
        pairCombos[i]->SetSelection(0);
    }
    const auto patterns = res::PunctuationPatterns();
    for (const char* p : patterns)
        punctuation->Append(wxString::FromUTF8(p));
}

void CTalveroDlg::LoadSettingsIntoWindow()
{
    // A file that is there but cannot be read still holds the user's settings: start on the
    // defaults, say so, and leave the file alone at exit.
    // A file set aside or values brought into range are said once too: the user edited
    // something that did not take.
    std::string settingsMessage;
    settingsUnreadable =
        LoadSettingsFile(settings, kSettingsFileName, &settingsMessage) == SettingsLoad::Unreadable;
    if (settingsUnreadable)
        settingsMessage +=
            ". Talvero starts with the default settings and will not save over that file.";
    if (!settingsMessage.empty())
        TalveroMessageBox(FromPhrase(settingsMessage), res::kAppName, wxOK | wxICON_WARNING, this);
    for (const CheckBinding& b : kCheckBindings)
        static_cast<wxCheckBox*>(FindWindow(b.id))->SetValue(settings.*b.member);
    for (int i = 0; i < 4; ++i) {
        int pos = settings.*kPairMembers[i];
        if (pos >= 0 && pos < static_cast<int>(pairCombos[i]->GetCount()))
            pairCombos[i]->SetSelection(pos);
    }
    // The pair list shows the pair whose dictionary is loaded, also when no pair is stored
    // (it would otherwise show position 0 while es_en loads, and save position 0 at exit).
    for (const PairEntry& e : PairsOf(PairList::Local))
        if (LocalDictionaryFileName(e.dictionaryCode) == settings.localDictionaryFile) {
            pairCombos[3]->SetSelection(e.position);
            settings.localPairPosition = e.position;
        }
    minimizeToTray = settings.minimizeToTray;
    if (settings.topmostWindow) SetTopmost(true);
}

void CTalveroDlg::ReadControlsIntoSettings()
{
    for (const CheckBinding& b : kCheckBindings)
        if (!b.isFlag) settings.*b.member = static_cast<wxCheckBox*>(FindWindow(b.id))->GetValue();
    for (int i = 0; i < 4; ++i)
        settings.*kPairMembers[i] = pairCombos[i]->GetSelection();
}

void CTalveroDlg::LoadDictionary()
{
    for (const std::string& message :
         parts.dictionary->Load(settings.localDictionaryFile, settings.personalDictionaryFile))
        TalveroMessageBox(FromPhrase(message), res::kAppName, wxOK, this);
}

void CTalveroDlg::EmptyNewTranslationsFile()
{
    if (std::FILE* f = std::fopen(kNewTranslationsFileName, "w")) std::fclose(f);
}

void CTalveroDlg::Shutdown()
{
    ReadControlsIntoSettings();
    KeepBatchUploadChoices();
    if (!settingsUnreadable) SaveSettings(settings);
    parts.platform.hotkey->Unregister();
    // An addition waiting for its upload still holds the dictionary; it is freed with the window.
    if (!additionBusy) parts.dictionary->Discard();
}

void CTalveroDlg::EndDialogWith(int result)
{
    ended = true;
    // A capture still waiting for the selection's owner must not answer into an ended window.
    if (parts.platform.clipboard) parts.platform.clipboard->CancelCapture();
    autoPass.Stop();
    if (autoDelay) autoDelay->Stop();
    if (IsModal()) {
        EndModal(result);
    } else {
        SetReturnCode(result);
        Hide();
    }
}

void CTalveroDlg::EndWithoutSaving()
{
    if (!ended) EndDialogWith(wxID_OK);
}

void CTalveroDlg::OnExit(wxCommandEvent&)
{
    if (ended) return;
    Shutdown();
    EndDialogWith(wxID_OK);
}

// The tray menu's "Disable"/"Enable": silences the speech side and shows the other tray icon.
void CTalveroDlg::OnTrayDisable(wxCommandEvent&)
{
    disabled = !disabled;
    TrayShowDisabled(disabled);
    if (disabled) parts.speech->PurgeSpeech();
}

void CTalveroDlg::OnTrayExit(wxCommandEvent&)
{
    EndWithoutSaving();
}

void CTalveroDlg::OnCancel(wxCommandEvent&)
{
    if (!ended) EndDialogWith(wxID_CANCEL);
}

void CTalveroDlg::OnClose(wxCloseEvent&)
{
    if (ended) return;
    Shutdown();
    EndDialogWith(wxID_CANCEL);
}

void CTalveroDlg::OnCharHook(wxKeyEvent& event)
{
    if (event.GetKeyCode() == WXK_ESCAPE && !event.HasAnyModifiers()) {
        wxCommandEvent cancel(wxEVT_BUTTON, kCancel);
        cancel.SetEventObject(FindWindow(kCancel));
        ProcessWindowEvent(cancel);
        return;
    }
    event.Skip();
}

// ---------------------------------------------------------------------------------------------
// Translation

void CTalveroDlg::OnTranslate(wxCommandEvent&)
{
    Translate();
}

void CTalveroDlg::SetPairPositionsFromCombos()
{
    for (int i = 0; i < 4; ++i)
        settings.*kPairMembers[i] = pairCombos[i]->GetSelection();
}

void CTalveroDlg::OnHistorySelectionChanged()
{
    if (historyClearing || ended) return;
    if (!static_cast<wxCheckBox*>(FindWindow(kTranslateHistorySelection))->GetValue()) return;
    input->ChangeValue(history->GetStringSelection());
    AutoTranslate();
}

void CTalveroDlg::OnClear(wxCommandEvent&)
{
    input->ChangeValue(wxString());
    for (wxTextCtrl* box : resultBoxes)
        box->ChangeValue(wxString());
    ClearNearList();
}

void CTalveroDlg::OnClearHistory(wxCommandEvent&)
{
    historyClearing = true;
    history->ChangeValue(wxString());
    historyClearing = false;
}

void CTalveroDlg::OnSetTimeDelay(wxCommandEvent&)
{
    double d = settings.translationDelay;
    int shown = 0;
    if (d >= 2147483647.0)
        shown = 2147483647;
    else if (d > -2147483648.0)
        shown = static_cast<int>(d);  // truncates: 1500.7 shows 1500
    else
        shown = -2147483647 - 1;
    CDelayDlg dlg(this, shown);
    if (dlg.ShowModal() == wxID_OK) settings.translationDelay = dlg.delay;
}

void CTalveroDlg::OnFlagCheck(wxCommandEvent& event)
{
    for (const CheckBinding& b : kCheckBindings)
        if (b.id == event.GetId() && b.isFlag) settings.*b.member = event.IsChecked();
}

void CTalveroDlg::OnLocalPairChanged(wxCommandEvent&)
{
    const PairEntry* e = PairAt(PairList::Local, pairCombos[3]->GetSelection());
    if (!e) return;  // a change without a valid selection loads nothing
    autoState.dictionaryLoading = true;
    translateButton->Disable();
    pairCombos[3]->Disable();
    settings.localPairPosition = e->position;
    settings.localDictionaryFile = LocalDictionaryFileName(e->dictionaryCode);
    settings.personalDictionaryFile = PersonalDictionaryFileName(e->dictionaryCode);
    {
        wxBusyCursor wait;
        LoadDictionary();
    }
    translateButton->Enable();
    pairCombos[3]->Enable();
    autoState.dictionaryLoading = false;
}

void CTalveroDlg::OnNearListDoubleClick(wxCommandEvent&)
{
    int sel = nearList->GetSelection();
    if (sel == wxNOT_FOUND) return;
    std::optional<std::string> translation =
        parts.dictionary->Find(ToPhrase(nearList->GetString(sel)));
    if (translation) resultBoxes[3]->ChangeValue(FromPhrase(*translation));
}

// ---------------------------------------------------------------------------------------------
// Font, topmost, options, About, window menu

wxFont CTalveroDlg::TextBoxFont(int size)
{
    // A size from an edited settings file may be anything; keep it drawable.
    if (size < 1) size = 1;
    if (size > 144) size = 144;
    static const bool haveArial = wxFontEnumerator::IsValidFacename("Arial");
    wxFontInfo info(size);
    info.Bold();
    if (haveArial)
        info.FaceName("Arial");
    else
        info.Family(wxFONTFAMILY_SWISS);
    return wxFont(info);
}

void CTalveroDlg::ApplyTextBoxFont(int size)
{
    textBoxFont = std::make_unique<wxFont>(TextBoxFont(size));
    for (wxTextCtrl* box :
         {input, hypothesis, resultBoxes[0], resultBoxes[1], resultBoxes[2], resultBoxes[3]}) {
        box->SetFont(*textBoxFont);
        box->Refresh();
    }
    Layout();
}

void CTalveroDlg::OnOptions(wxCommandEvent&)
{
    RunOptionsDialog();
}

void CTalveroDlg::ShowAboutBox()
{
    CAboutDlg dlg(this);
    dlg.ShowModal();
}

void CTalveroDlg::OnAbout(wxCommandEvent&)
{
    ShowAboutBox();
}

wxMenu* CTalveroDlg::BuildWindowMenu() const
{
    // The items the system menu carries elsewhere; without the "About" string, none.
    auto* menu = new wxMenu;
    const wxString about = wxString::FromUTF8(res::LoadString(res::kAboutMenuString));
    if (!about.empty()) {
        menu->Append(res::kCmdOptions, "Options");
        menu->Append(res::kCmdAbout, about);
    }
    TagMenuItems(menu);
    return menu;
}

void CTalveroDlg::ShowWindowMenu()
{
    std::unique_ptr<wxMenu> menu(BuildWindowMenu());
    if (menu->GetMenuItemCount() == 0) return;
    wxWindow* button = FindWindow(res::kWindowMenuButton);
    PopupMenu(menu.get(),
              button ? button->GetPosition() + wxPoint(0, button->GetSize().y) : wxDefaultPosition);
}

void CTalveroDlg::OnWindowMenuButton(wxCommandEvent&)
{
    ShowWindowMenu();
}

void CTalveroDlg::OnContextMenu(wxContextMenuEvent& event)
{
    // Text boxes keep their own menu (cut, copy, paste).
    if (dynamic_cast<wxTextCtrl*>(event.GetEventObject()) ||
        dynamic_cast<wxComboBox*>(event.GetEventObject())) {
        event.Skip();
        return;
    }
    std::unique_ptr<wxMenu> menu(BuildWindowMenu());
    if (menu->GetMenuItemCount() == 0) return;
    wxPoint at = event.GetPosition();
    PopupMenu(menu.get(), at == wxDefaultPosition ? wxDefaultPosition : ScreenToClient(at));
}

// ---------------------------------------------------------------------------------------------
// Speech notifications: ignored while the tool is disabled from the tray menu.

void CTalveroDlg::OnRecognitionEvent(wxThreadEvent&)
{
    HandleRecognitionEvents();  // or drops them while they are ignored
    if (disabled || !settings.activateSpeechRecognition) return;
    parts.speech->OnRecognitionEvent();
}

void CTalveroDlg::OnVoiceEvent(wxThreadEvent&)
{
    if (disabled) return;
    parts.speech->OnVoiceEvent(settings);
}
