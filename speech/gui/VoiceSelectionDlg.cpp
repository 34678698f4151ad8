#include "speech/gui/VoiceSelectionDlg.h"

#include <cstdint>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/stattext.h>

#include "base/CodePage.h"
#include "res/Templates.h"
#include "ui/DialogBuilder.h"

namespace talvero {

using res::ctl::kCancel;
using res::ctl::kOk;
using res::ctl::kVoiceFormat;
using res::ctl::kVoiceList;
using res::ctl::kVoiceRate;
using res::ctl::kVoiceVolume;

namespace {

void* AsItemData(std::intptr_t value)
{
    return reinterpret_cast<void*>(value);
}

std::intptr_t ItemData(wxChoice* choice, int position)
{
    return reinterpret_cast<std::intptr_t>(choice->GetClientData(unsigned(position)));
}

}  // namespace

wxBEGIN_EVENT_TABLE(CVoiceSelectionDlg, wxDialog)
    EVT_BUTTON(kOk, CVoiceSelectionDlg::OnOK)
    EVT_BUTTON(kCancel, CVoiceSelectionDlg::OnCancel)
wxEND_EVENT_TABLE()

CVoiceSelectionDlg::CVoiceSelectionDlg(wxWindow* parent, IVoice* v, int voicePos, int formatPos)
    : wxDialog(parent, wxID_ANY, wxString::FromUTF8(res::VoiceSelectionDialog().caption)),
      voicePosition(voicePos),
      formatPosition(formatPos),
      voice(v)
{
    const res::Dialog& t = res::VoiceSelectionDialog();
    const int margin = ConvertDialogToPixels(wxSize(7, 7)).x;
    const int gap = ConvertDialogToPixels(wxSize(4, 4)).x;
    const int wide = ConvertDialogToPixels(wxSize(160, 0)).x;

    auto* grid = new wxFlexGridSizer(2, gap, gap);
    grid->AddGrowableCol(1);
    auto row = [&](const char* label, int id) {
        grid->Add(CreateTemplateLabel(this, t, label), 0, wxALIGN_CENTER_VERTICAL);
        wxWindow* control = CreateTemplateControl(this, t, id);
        control->SetMinSize(wxSize(wide, -1));
        grid->Add(control, 1, wxEXPAND);
        return control;
    };
    voiceList = ControlAs<wxChoice>(row("Voice", kVoiceList), kVoiceList);
    rate = ControlAs<wxSlider>(row("Rate", kVoiceRate), kVoiceRate);
    volume = ControlAs<wxSlider>(row("Volume", kVoiceVolume), kVoiceVolume);
    formatList = ControlAs<wxChoice>(row("Format", kVoiceFormat), kVoiceFormat);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->AddStretchSpacer();
    buttons->Add(CreateTemplateControl(this, t, kOk), 0, wxRIGHT, gap);
    buttons->Add(CreateTemplateControl(this, t, kCancel));
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(grid, 1, wxEXPAND | wxALL, margin);
    top->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, margin);
    SetSizer(top);
    SetAffirmativeId(kOk);
    SetEscapeId(kCancel);
    TagTemplateControls(this, t);
    KeepEnterInDialog(this, [this] {
        wxCommandEvent ok(wxEVT_BUTTON, kOk);
        OnOK(ok);
    });

    FillFormats();
    bool haveVoices = voice && FillVoices();
    if (voicePosition >= 0 && unsigned(voicePosition) < voiceList->GetCount())
        voiceList->SetSelection(voicePosition);
    if (formatPosition >= 0 && unsigned(formatPosition) < formatList->GetCount())
        formatList->SetSelection(formatPosition);
    ApplySelectedVoice();
    if (haveVoices) {
        rate->SetRange(kVoiceRateMin, kVoiceRateMax);
        rate->SetValue(voice->Rate());
        rate->SetPageSize(5);
        volume->SetRange(kVoiceVolumeMin, kVoiceVolumeMax);
        volume->SetValue(voice->Volume());
        volume->SetPageSize(10);
    }
    SizeToTemplate(this, res::VoiceSelectionDialog());
    CentreOnParent();
}

// The 36 rows, each with its format number; the voice's current format selected.
void CVoiceSelectionDlg::FillFormats()
{
    for (int row = 0; row < kVoiceFormatCount; ++row) {
        const VoiceFormatRow* f = VoiceFormatAt(row);
        formatList->Append(wxString::FromUTF8(f->text), AsItemData(f->formatNumber));
    }
    if (voice && VoiceFormatAt(voice->FormatRow())) formatList->SetSelection(voice->FormatRow());
}

// Every voice by its description. The voice in use is added first and so selected: a first
// opening followed by Cancel keeps the voice that was speaking.
bool CVoiceSelectionDlg::FillVoices()
{
    voices = voice->Voices();
    const std::string current = voice->CurrentVoice().id;
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < voices.size(); ++i)
        if (voices[i].id == current)
            order.insert(order.begin(), i);
        else
            order.push_back(i);
    bool first = true;
    for (std::size_t i : order) {
        int at = voiceList->Append(FromPhrase(Utf8ToCodePage(voices[i].description)),
                                   AsItemData(std::intptr_t(i)));
        if (first) voiceList->SetSelection(at);
        first = false;
    }
    return !voices.empty();
}

void CVoiceSelectionDlg::ApplySelectedVoice()
{
    int at = voiceList->GetSelection();
    if (!voice || at == wxNOT_FOUND) return;
    const VoiceInfo& chosen = voices[std::size_t(ItemData(voiceList, at))];
    if (chosen.id == voice->CurrentVoice().id) return;
    voice->Purge();
    voice->SetVoice(chosen.id);
}

void CVoiceSelectionDlg::OnOK(wxCommandEvent&)
{
    voicePosition = voiceList->GetSelection();
    formatPosition = formatList->GetSelection();
    ApplySelectedVoice();
    if (voice) {
        voice->SetVolume(volume->GetValue());
        voice->SetRate(rate->GetValue());
        // The item data is the row's format number; the rows are numbered from 4 on.
        if (formatPosition != wxNOT_FOUND)
            voice->SetFormatRow(int(ItemData(formatList, formatPosition)) - 4);
    }
    EndModal(wxID_OK);
}

void CVoiceSelectionDlg::OnCancel(wxCommandEvent&)
{
    EndModal(wxID_CANCEL);
}

}  // namespace talvero
