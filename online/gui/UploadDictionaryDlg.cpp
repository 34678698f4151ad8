#include "online/gui/UploadDictionaryDlg.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "catalogue/Catalogue.h"
#include "res/Templates.h"
#include "ui/DialogBuilder.h"

namespace talvero {

namespace {

using namespace res::ctl;

wxString EntryName(int index)
{
    return wxString::FromUTF8(Languages()[static_cast<size_t>(index)].uploadEntry);
}

// The language index of a list's selection: the lists are sorted, so their positions are
// looked up by name.
int32_t IndexOfSelection(const wxChoice* list)
{
    const wxString name = list->GetStringSelection();
    for (int i = 0; i < kLanguageCount; ++i)
        if (EntryName(i) == name) return i;
    return -1;
}

void SelectIndex(wxChoice* list, int32_t index)
{
    if (index >= 0 && index < kLanguageCount)
        list->SetStringSelection(EntryName(index));
    else
        list->SetSelection(wxNOT_FOUND);
}

}  // namespace

// clang-format off
wxBEGIN_EVENT_TABLE(CUploadDictionaryDlg, wxDialog)
    EVT_BUTTON(kOk, CUploadDictionaryDlg::OnUpload)
    EVT_BUTTON(kUploadRepeat, CUploadDictionaryDlg::OnRepeat)
    EVT_BUTTON(kUploadAbort, CUploadDictionaryDlg::OnAbort)
    EVT_BUTTON(kCancel, CUploadDictionaryDlg::OnSkip)
    EVT_CHOICE(kUploadFrom, CUploadDictionaryDlg::OnFromChanged)
    EVT_CHOICE(kUploadTo, CUploadDictionaryDlg::OnToChanged)
wxEND_EVENT_TABLE()
// clang-format on

CUploadDictionaryDlg::CUploadDictionaryDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, wxString::FromUTF8(res::UploadDictionaryDialog().caption))
{
    const res::Dialog& t = res::UploadDictionaryDialog();
    const int margin = ConvertDialogToPixels(wxSize(7, 7)).x;
    const int gap = margin / 2;

    fromList = CreateTemplateControl<wxChoice>(this, t, kUploadFrom);
    toList = CreateTemplateControl<wxChoice>(this, t, kUploadTo);
    reverseBox = CreateTemplateControl<wxCheckBox>(this, t, kUploadReverse);
    wxArrayString names;
    for (int i = 0; i < kLanguageCount; ++i)
        names.Add(EntryName(i));
    for (wxChoice* list : {fromList, toList}) {
        list->Set(names);
        // Wide enough for "Chinese Simplified"; the toolkit's own best height.
        list->SetMinSize(wxSize(ConvertDialogToPixels(wxSize(80, 0)).x, list->GetBestSize().y));
    }

    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* languages = new wxBoxSizer(wxHORIZONTAL);
    languages->Add(CreateTemplateLabel(this, t, "Language pair: From"), 0, wxALIGN_CENTER_VERTICAL);
    languages->Add(fromList, 1, wxLEFT | wxALIGN_CENTER_VERTICAL, gap);
    languages->Add(CreateTemplateLabel(this, t, "To"), 0, wxLEFT | wxALIGN_CENTER_VERTICAL, margin);
    languages->Add(toList, 1, wxLEFT | wxALIGN_CENTER_VERTICAL, gap);
    top->Add(languages, 0, wxEXPAND | wxALL, margin);
    top->Add(reverseBox, 0, wxLEFT | wxRIGHT | wxBOTTOM, margin);

    auto* texts = new wxFlexGridSizer(2, gap, margin);
    texts->AddGrowableCol(1);
    texts->Add(CreateTemplateLabel(this, t, "Original"), 0, wxALIGN_CENTER_VERTICAL);
    originalEdit = CreateTemplateControl<wxTextCtrl>(this, t, kUploadOriginal);
    texts->Add(originalEdit, 1, wxEXPAND);
    texts->Add(CreateTemplateLabel(this, t, "Translation"), 0, wxALIGN_CENTER_VERTICAL);
    translationEdit = CreateTemplateControl<wxTextCtrl>(this, t, kUploadTranslation);
    texts->Add(translationEdit, 1, wxEXPAND);
    top->Add(texts, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, margin);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->AddStretchSpacer();
    for (int id : {kOk, kUploadRepeat, kCancel, kUploadAbort})
        buttons->Add(CreateTemplateControl(this, t, id), 0, wxLEFT, gap);
    top->Add(buttons, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, margin);

    SetSizer(top);
    SetAffirmativeId(kOk);
    SetEscapeId(kCancel);
    TagTemplateControls(this, t);
    SizeToTemplate(this, t);
    CentreOnParent();
    // Enter uploads the pair shown (on a list it would open the list; left alone it would also
    // reach the main window's default button).
    KeepEnterInDialog(this, [this] { CloseWithOk(action); });
}

bool CUploadDictionaryDlg::TransferDataToWindow()
{
    SelectIndex(fromList, fromIndex);
    SelectIndex(toList, toIndex);
    originalEdit->ChangeValue(FromPhrase(originalText));
    translationEdit->ChangeValue(FromPhrase(translatedText));
    reverseBox->SetValue(reverse);
    return true;
}

bool CUploadDictionaryDlg::TransferDataFromWindow()
{
    originalText = ToPhrase(originalEdit->GetValue());
    translatedText = ToPhrase(translationEdit->GetValue());
    reverse = reverseBox->GetValue();
    return true;
}

void CUploadDictionaryDlg::CloseWithOk(int withAction)
{
    action = withAction;
    TransferDataFromWindow();
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK), Hide();
}

void CUploadDictionaryDlg::OnUpload(wxCommandEvent&)
{
    CloseWithOk(action);
}

void CUploadDictionaryDlg::OnRepeat(wxCommandEvent&)
{
    CloseWithOk(UploadDialogFields::Repeat);
}

void CUploadDictionaryDlg::OnAbort(wxCommandEvent&)
{
    CloseWithOk(UploadDialogFields::Abort);
}

void CUploadDictionaryDlg::OnSkip(wxCommandEvent&)
{
    if (IsModal())
        EndModal(wxID_CANCEL);
    else
        SetReturnCode(wxID_CANCEL), Hide();
}

void CUploadDictionaryDlg::OnFromChanged(wxCommandEvent&)
{
    fromIndex = IndexOfSelection(fromList);
}

void CUploadDictionaryDlg::OnToChanged(wxCommandEvent&)
{
    toIndex = IndexOfSelection(toList);
}

bool CUploadDialogRunner::Run(UploadDialogFields& fields)
{
    CUploadDictionaryDlg dlg(parent);
    dlg.fromIndex = fields.fromIndex;
    dlg.toIndex = fields.toIndex;
    dlg.originalText = fields.originalText;
    dlg.translatedText = fields.translatedText;
    dlg.action = fields.action;
    dlg.reverse = fields.reverse;
    const bool ok = dlg.ShowModal() == wxID_OK;
    fields.fromIndex = dlg.fromIndex;
    fields.toIndex = dlg.toIndex;
    if (ok) {
        fields.originalText = dlg.originalText;
        fields.translatedText = dlg.translatedText;
        fields.action = dlg.action;
        fields.reverse = dlg.reverse;
    }
    return ok;
}

}  // namespace talvero
