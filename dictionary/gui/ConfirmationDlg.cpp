#include "dictionary/gui/ConfirmationDlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "res/Templates.h"
#include "ui/DialogBuilder.h"

namespace talvero {

using namespace res::ctl;

CConfirmationDlg::CConfirmationDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, wxString::FromUTF8(res::ConfirmationDialog().caption))
{
    const res::Dialog& t = res::ConfirmationDialog();
    const int margin = ConvertDialogToPixels(wxSize(7, 7)).x;
    const int vgap = ConvertDialogToPixels(wxSize(3, 3)).y;
    const wxSize box = ConvertDialogToPixels(wxSize(t.widthDu - 14, 28));

    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(CreateTemplateLabel(
                 this, t, "Do you want to add the next translation to the local dictionary?"),
             0, wxBOTTOM, vgap * 2);
    top->Add(CreateTemplateLabel(this, t, "Original text:"), 0, wxBOTTOM, vgap);
    original = CreateTemplateControl<wxTextCtrl>(this, t, kConfirmOriginal);
    original->SetMinSize(box);
    top->Add(original, 1, wxEXPAND | wxBOTTOM, vgap * 2);
    top->Add(CreateTemplateLabel(this, t, "Translated text:"), 0, wxBOTTOM, vgap);
    translated = CreateTemplateControl<wxTextCtrl>(this, t, kConfirmTranslation);
    translated->SetMinSize(box);
    top->Add(translated, 1, wxEXPAND | wxBOTTOM, vgap * 2);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->AddStretchSpacer();
    buttons->Add(CreateTemplateControl(this, t, kOk));
    buttons->Add(CreateTemplateControl(this, t, kCancel), 0, wxLEFT, margin / 2);
    top->Add(buttons, 0, wxEXPAND);
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(top, 1, wxEXPAND | wxALL, margin);
    SetSizer(outer);
    SizeToTemplate(this, t);

    SetAffirmativeId(kOk);
    SetEscapeId(kCancel);
    Bind(wxEVT_BUTTON, &CConfirmationDlg::OnOK, this, kOk);
    // A phrase is one line (line breaks are dropped when it is added): Enter in either box
    // confirms, as the dialog's default button does.
    KeepEnterInDialog(this, [this] {
        wxCommandEvent ok(wxEVT_BUTTON, kOk);
        OnOK(ok);
    });
    TagTemplateControls(this, t);
    CentreOnParent();
}

int CConfirmationDlg::ShowModal()
{
    original->ChangeValue(FromPhrase(originalText));
    translated->ChangeValue(FromPhrase(translatedText));
    return wxDialog::ShowModal();
}

void CConfirmationDlg::OnOK(wxCommandEvent&)
{
    originalText = ToPhrase(original->GetValue());
    translatedText = ToPhrase(translated->GetValue());
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK), Hide();
}

}  // namespace talvero
