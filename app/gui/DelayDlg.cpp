#include "app/gui/DelayDlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "res/Templates.h"
#include "settings/FieldValidation.h"
#include "ui/Accessibility.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"

namespace talvero {

using res::ctl::kCancel;
using res::ctl::kDelayTime;
using res::ctl::kOk;

wxBEGIN_EVENT_TABLE(CDelayDlg, wxDialog)
    EVT_BUTTON(kOk, CDelayDlg::OnOK)
    EVT_BUTTON(kCancel, CDelayDlg::OnCancel)
wxEND_EVENT_TABLE()

CDelayDlg::CDelayDlg(wxWindow* parent, int delayValue)
    : wxDialog(parent, wxID_ANY, wxString::FromUTF8(res::DelayDialog().caption)), delay(delayValue)
{
    const res::Dialog& t = res::DelayDialog();
    const wxSize size = ConvertDialogToPixels(wxSize(t.widthDu, t.heightDu));
    const int margin = ConvertDialogToPixels(wxSize(7, 7)).x;
    const int textWidth = size.x - 2 * margin;

    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(CreateTemplateLabel(this, t, "Time (milliseconds):"), 0, wxALIGN_CENTER_VERTICAL);
    edit = CreateTemplateControl<wxTextCtrl>(this, t, kDelayTime);
    edit->ChangeValue(wxString::Format("%d", delay));
    row->Add(edit, 0, wxLEFT | wxALIGN_CENTER_VERTICAL, margin);
    row->AddStretchSpacer();
    row->Add(CreateTemplateControl(this, t, kOk), 0, wxRIGHT, margin / 2);
    row->Add(CreateTemplateControl(this, t, kCancel));
    top->Add(row, 0, wxEXPAND | wxALL, margin);

    for (const res::Control& c : t.controls) {
        if (c.kind != res::Kind::Label || c.text == std::string_view("Time (milliseconds):"))
            continue;
        wxStaticText* label = CreateTemplateLabel(this, t, c.text);
        label->Wrap(textWidth);
        // Wrapping puts line breaks into the label; a screen reader reads the text as written.
        SetAccessibleIdAs(label, -1, wxString::FromUTF8(c.text));
        top->Add(label, 0, wxLEFT | wxRIGHT | wxBOTTOM, margin);
    }
    SetSizer(top);
    SetAffirmativeId(kOk);
    SetEscapeId(kCancel);
    TagTemplateControls(this, t);
    SizeToTemplate(this, t);
    CentreOnParent();
    edit->SetFocus();
    edit->SelectAll();
}

void CDelayDlg::OnOK(wxCommandEvent&)
{
    IntegerField field = CheckIntegerField(ToPhrase(edit->GetValue()), kMinDelay, kMaxDelay);
    if (!field.ok) {
        TalveroMessageBox(wxString::FromUTF8(field.message), res::kAppName,
                          wxOK | wxICON_EXCLAMATION, this);
        edit->SetFocus();
        edit->SelectAll();
        return;
    }
    delay = field.value;
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK), Hide();
}

void CDelayDlg::OnCancel(wxCommandEvent&)
{
    if (IsModal())
        EndModal(wxID_CANCEL);
    else
        SetReturnCode(wxID_CANCEL), Hide();
}

}  // namespace talvero
