#include "app/gui/TalveroDlg.h"

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

#include "app/gui/AboutDlg.h"
#include "app/gui/DelayDlg.h"
#include "app/gui/MainWindowSettings.h"
#include "app/gui/OptionsDlg.h"
#include "app/gui/WindowMenu.h"
#include "catalogue/Catalogue.h"
#include "res/Icons.h"
#include "res/Resources.h"
#include "res/Templates.h"
#include "settings/Options.h"
#include "ui/Accessibility.h"
#include "ui/Control.h"
#include "ui/DialogBuilder.h"
#include "ui/GtkTweaks.h"
#include "ui/MessageBox.h"

namespace talvero {

namespace {

// Control ids of the main window.
using namespace res::ctl;

}  // namespace

wxBEGIN_EVENT_TABLE(CTalveroDlg, CTrayDialog)
    EVT_INIT_DIALOG(CTalveroDlg::OnInitDialog)
    EVT_BUTTON(kExit, CTalveroDlg::OnExit)
    EVT_BUTTON(kCancel, CTalveroDlg::OnCancel)
    EVT_CLOSE(CTalveroDlg::OnClose)
    EVT_CHAR_HOOK(CTalveroDlg::OnCharHook)
    EVT_BUTTON(kSetDelay, CTalveroDlg::OnSetTimeDelay)
    EVT_CHECKBOX(wxID_ANY, CTalveroDlg::OnFlagCheck)
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
                  wxCAPTION | wxSYSTEM_MENU | wxMINIMIZE_BOX | wxMAXIMIZE_BOX | wxCLOSE_BOX |
                      wxRESIZE_BORDER),
      parts(std::move(partsIn))
{
    if (!parts.dictionary) parts.dictionary = MakeLocalDictionary();
    if (!parts.engines) parts.engines = MakeTranslationEngines(*parts.dictionary);
    if (!parts.speech) parts.speech = MakeSilentSpeech();
    if (!parts.banners) parts.banners = MakeBanners();
    if (!parts.platform.hotkey) parts.platform = MakeDesktopPlatform();

    CreateControls();
    LayOut();
    TagTemplateControls(this, res::MainDialog());

    SetEscapeId(wxID_NONE);  // Esc is routed to the hidden "Cancel" in OnCharHook
    translation = std::make_unique<CTranslationView>(
        CTranslationView::Controls{this, input, translateButton, resultBoxes, pairCombos, nearList},
        *parts.engines, *parts.dictionary, *parts.speech, *parts.banners, settings, tasks.Poster());
    translation->UseDelay(parts.startDelay);
    voice = std::make_unique<CVoiceController>(
        this, *parts.speech, settings, state,
        [this](const std::function<void()>& dialog) { dictation->HoldSpeechDuring(dialog); });
    dictation = std::make_unique<CDictationController>(
        CDictationController::Controls{this, input, history, hypothesis, resultBoxes[3],
                                       punctuation},
        *parts.speech, *parts.dictionary, settings, state, translation->Presenter(),
        [this] { voice->ConnectVoice(); });
    additions = std::make_unique<CAdditionsController>(
        this, input, *parts.dictionary, *parts.banners, parts.platform, settings, state,
        [this](const std::string& original, const std::string& translated,
               std::function<void()> then) {
            if (online)
                online->UploadPair(original, translated, std::move(then));
            else
                then();
        });
    additions->SetTranslateAction([this] { Translate(); });
    SetUpKeys();
}

CTalveroDlg::~CTalveroDlg()
{
    // Nothing started for this window may continue into it or outlive it.
    tasks.Drop();
    additions->Stop();
    online.reset();
    translation->Stop();
    parts.engines.reset();
    dictation->Stop();
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
    input = Control<wxTextCtrl>(this, kInput);
    translateButton = Control<wxButton>(this, kTranslate);
    history = Control<wxTextCtrl>(this, kHistory);
    hypothesis = Control<wxTextCtrl>(this, kHypothesis);
    nearList = Control<wxListBox>(this, kNearList);
    const int results[4] = {kGoogleResult, kBabelfishResult, kFreeTranslationResult, kLocalResult};
    const int pairs[4] = {kGooglePair, kBabelfishPair, kFreeTranslationPair, kLocalPair};
    for (int i = 0; i < 4; ++i) {
        resultBoxes[i] = Control<wxTextCtrl>(this, results[i]);
        pairCombos[i] = Control<wxChoice>(this, pairs[i]);
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

    auto* top = new LeastBoxSizer(wxVERTICAL);

    // Input, history and hypothesis, dictation.
    auto* band1 = new LeastBoxSizer(wxHORIZONTAL);
    auto* inputCol = new wxBoxSizer(wxVERTICAL);
    inputCol->Add(label(this, "Text to translate"));
    inputCol->Add(input, 1, wxEXPAND | wxTOP, vgap);
    auto* inputButtons = new wxBoxSizer(wxHORIZONTAL);
    inputButtons->Add(translateButton);
    inputButtons->Add(win(kClear), 0, wxLEFT, gap);
    inputButtons->Add(win(kSetDelay), 0, wxLEFT, gap);
    inputCol->Add(inputButtons, 0, wxTOP, vgap * 2);
    // Two lines, so that the dictation group has room for the punctuation patterns.
    auto* autoTranslate = Control<wxCheckBox>(this, kAutoTranslate);
    WrapCheckBoxLabel(autoTranslate, 34);
    inputCol->Add(autoTranslate, 0, wxTOP, vgap * 2);
    band1->Add(inputCol, 1, wxEXPAND);

    auto* historyCol = new wxBoxSizer(wxVERTICAL);
    auto* historyHead = new wxBoxSizer(wxHORIZONTAL);
    historyHead->Add(label(this, "Recognized text history:"), 0, wxALIGN_BOTTOM);
    historyHead->AddStretchSpacer();
    historyHead->Add(win(kClearHistory), 0, wxLEFT, gap);
    historyCol->Add(historyHead, 0, wxEXPAND);
    // The history and the near list grow with the window; a large desktop font must not
    // squeeze them to nothing.
    history->SetMinSize(wxSize(-1, ConvertDialogToPixels(wxSize(0, 20)).y));
    historyCol->Add(history, 1, wxEXPAND | wxTOP, vgap);
    historyCol->Add(win(kTranslateHistorySelection), 0, wxTOP, vgap);
    historyCol->Add(label(this, "Speech recognition hypothesis:"), 0, wxTOP, vgap * 2);
    hypothesis->SetMinSize(wxSize(-1, ConvertDialogToPixels(wxSize(0, 20)).y));
    historyCol->Add(hypothesis, 0, wxEXPAND | wxTOP, vgap);
    // Two lines where needed: the three columns of the band then fit a 1024 pixels wide screen.
    auto* translateHypothesis = Control<wxCheckBox>(this, kTranslateHypothesis);
    WrapCheckBoxLabel(translateHypothesis, 30);
    historyCol->Add(translateHypothesis, 0, wxTOP, vgap);
    band1->Add(historyCol, 1, wxEXPAND | wxLEFT, gap + gap / 2);

    auto* dictation = new wxStaticBoxSizer(wxVERTICAL, this, "Dictation");
    wxWindow* box = dictation->GetStaticBox();
    dictation->Add(make(box, kRecognition), 0, wxBOTTOM, vgap);
    dictation->Add(make(box, kCopyOnlyToHistory), 0, wxBOTTOM, vgap);
    auto* punctRow = new wxBoxSizer(wxHORIZONTAL);
    punctRow->Add(make(box, kPunctuationMarks), 0, wxALIGN_CENTER_VERTICAL);
    punctuation = CreateTemplateControl<wxComboBox>(box, t, kPunctuation);
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
    top->Add(band1, 1, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, margin);

    // The four engine rows: use box over pair list, result box, Speak over Add.
    auto* engines = new wxFlexGridSizer(3, vgap, gap + gap / 2);
    engines->AddGrowableCol(1, 1);
    const int uses[4] = {kUseGoogle, kUseBabelfish, kUseFreeTranslation, kUseLocal};
    const int speaks[4] = {kSpeakGoogle, kSpeakBabelfish, kSpeakFreeTranslation, kSpeakLocal};
    const int adds[4] = {kAddGoogle, kAddBabelfish, kAddFreeTranslation, 0};
    int resultLine = 0;
    const wxFont resultFont = TextBoxFont(Settings().fontSize);
    GetTextExtent("Ag", nullptr, &resultLine, nullptr, nullptr, &resultFont);
    for (int i = 0; i < 4; ++i) {
        // Two whole lines of the boxes' default font, more as the window grows.
        resultBoxes[i]->SetMinSize(
            wxSize(ConvertDialogToPixels(wxSize(120, 0)).x, 2 * resultLine + vgap * 2));
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
    top->Add(engines, 2, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, margin);

    // Near search, additions, voice and the window's own buttons.
    auto* band3 = new wxBoxSizer(wxHORIZONTAL);
    auto* nearCol = new wxBoxSizer(wxVERTICAL);
    auto* nearSearch = Control<wxCheckBox>(this, kNearSearch);
    WrapCheckBoxLabel(nearSearch, 24);
    nearCol->Add(nearSearch);
    nearList->SetMinSize(wxSize(-1, ConvertDialogToPixels(wxSize(0, 24)).y));
    nearCol->Add(nearList, 1, wxEXPAND | wxTOP, vgap);
    band3->Add(nearCol, 1, wxEXPAND);

    // Its long title on two lines: the band's three columns then fit a 1024 pixels wide screen.
    auto* adding = new wxStaticBoxSizer(
        CreateWrappingGroup(this, "Add new translations to the personal dictionary", 32),
        wxVERTICAL);
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
    // "^" needs no more than its own width.
    wxWindow* upload = make(box, kUpload);
    upload->SetWindowStyleFlag(upload->GetWindowStyleFlag() | wxBU_EXACTFIT);
    upload->InvalidateBestSize();
    addButtons->Add(upload, 0, wxLEFT, gap);
    // The hotkey box shares the row, on two lines no higher than the buttons, which keeps the
    // group narrow and low.
    auto* hotkeyFills = CreateTemplateControl<wxCheckBox>(box, t, kHotkeyFills);
    WrapCheckBoxLabel(hotkeyFills, 16);
    addButtons->Add(hotkeyFills, 0, wxLEFT | wxALIGN_CENTER_VERTICAL, gap * 2);
    adding->Add(addButtons, 0, wxBOTTOM, vgap);
    auto* addAuto = CreateTemplateControl<wxCheckBox>(box, t, kAddAutomatically);
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
    top->Add(band3, 1, wxEXPAND | wxALL, margin);

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
    SizeResizableToTemplate(this, t);
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
    if (state.StartedUp()) return;
    state.stage = MainWindowState::Stage::Running;
    // The window menu ("Options", "&About Talvero...") is built when it is opened: this
    // desktop's window manager menu cannot be extended.
    SetIcons(res::IconBundle(res::kMainIcon));
    FillPairLists(pairCombos, punctuation);
    translation->SetUpNearList();
    // Speech may report that no recognizer exists; start-up goes on either way.
    parts.speech->SetUp();
    voice->ConnectVoice();
    dictation->SetUp();
    parts.banners->Create(this);
    settings.minimizeToTray = true;
    minimizeToTray = true;
    TraySetIcon(res::kMainIcon);
    TraySetToolTip("Talvero");
    TraySetMenu(res::kTrayMenu);
    settings.localDictionaryFile = LocalDictionaryFileName("es_en");
    settings.personalDictionaryFile = PersonalDictionaryFileName("es_en");
    punctuation->SetSelection(1);
    settingsUnreadable = !LoadSettingsIntoControls(this, settings, pairCombos);
    minimizeToTray = settings.minimizeToTray;
    if (settings.topmostWindow) SetTopmost(true);
    additions->RegisterHotkey();
    translation->StartDictionaryLoad();
    ApplyTextBoxFont(settings.fontSize);
    online = std::make_unique<COnlineController>(this, *parts.speech, settings, state);
    online->Start();
    EmptyNewTranslationsFile();
    input->SetFocus();
}

void CTalveroDlg::EmptyNewTranslationsFile()
{
    if (std::FILE* f = std::fopen(kNewTranslationsFileName, "w")) std::fclose(f);
}

void CTalveroDlg::Shutdown()
{
    ReadControlsIntoSettings(this, settings, pairCombos);
    if (online) online->KeepBatchUploadChoices();
    if (!settingsUnreadable) SaveSettings(settings);
    parts.platform.hotkey->Unregister();
    // An addition waiting for its upload still holds the dictionary; it is freed with the window.
    if (!additions->Busy()) parts.dictionary->Discard();
}

void CTalveroDlg::EndDialogWith(int result)
{
    state.stage = MainWindowState::Stage::Ended;
    additions->Stop();
    translation->Stop();
    if (online) online->Stop();
    if (IsModal()) {
        EndModal(result);
    } else {
        SetReturnCode(result);
        Hide();
    }
}

void CTalveroDlg::EndWithoutSaving()
{
    if (!state.Ended()) EndDialogWith(wxID_OK);
}

void CTalveroDlg::OnExit(wxCommandEvent&)
{
    if (state.Ended()) return;
    Shutdown();
    EndDialogWith(wxID_OK);
}

// The tray menu's "Disable"/"Enable": silences the speech side and shows the other tray icon.
void CTalveroDlg::OnTrayDisable(wxCommandEvent&)
{
    state.disabled = !state.disabled;
    TrayShowDisabled(state.disabled);
    if (state.disabled) parts.speech->PurgeSpeech();
}

void CTalveroDlg::OnTrayExit(wxCommandEvent&)
{
    EndWithoutSaving();
}

void CTalveroDlg::OnCancel(wxCommandEvent&)
{
    if (!state.Ended()) EndDialogWith(wxID_CANCEL);
}

void CTalveroDlg::OnClose(wxCloseEvent&)
{
    if (state.Ended()) return;
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
// Flags, delay, font, options, About, window menu

void CTalveroDlg::OnSetTimeDelay(wxCommandEvent&)
{
    CDelayDlg dlg(this, ShownDelay(settings.translationDelay));
    if (dlg.ShowModal() == wxID_OK) settings.translationDelay = dlg.delay;
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

void CTalveroDlg::RunOptionsDialog()
{
    const Services services = LoadServices();
    ProxyConnection connection{services.useProxy, services.proxyPort, services.proxyServer};
    const OptionsNotes notes{additions->LastHotkeyStatus() == HotkeyStatus::Unavailable,
                             parts.platform.compositorPlacesWindows};
    COptionsDlg dlg(this, settings, connection, notes);
    if (dlg.ShowModal() != wxID_OK) return;
    const int oldFontSize = settings.fontSize;
    const bool oldTopmost = settings.topmostWindow;
    CopyOptions(dlg.values, settings);
    minimizeToTray = settings.minimizeToTray;
    if (settings.fontSize != oldFontSize) ApplyTextBoxFont(settings.fontSize);
    additions->RegisterHotkey();
    if (settings.topmostWindow != oldTopmost) SetTopmost(settings.topmostWindow);
}

void CTalveroDlg::OnAbout(wxCommandEvent&)
{
    CAboutDlg dlg(this);
    dlg.ShowModal();
}

void CTalveroDlg::OnWindowMenuButton(wxCommandEvent&)
{
    wxWindow* button = FindWindow(res::kWindowMenuButton);
    PopUpWindowMenu(
        this, button ? button->GetPosition() + wxPoint(0, button->GetSize().y) : wxDefaultPosition);
}

void CTalveroDlg::OnContextMenu(wxContextMenuEvent& event)
{
    if (HasOwnContextMenu(event.GetEventObject())) {
        event.Skip();
        return;
    }
    const wxPoint at = event.GetPosition();
    PopUpWindowMenu(this, at == wxDefaultPosition ? wxDefaultPosition : ScreenToClient(at));
}

}  // namespace talvero
