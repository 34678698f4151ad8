#include "app/gui/AboutDlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "res/Icons.h"
#include "res/Templates.h"
#include "ui/Accessibility.h"
#include "ui/DialogBuilder.h"

namespace talvero {

wxBEGIN_EVENT_TABLE(CAboutDlg, wxDialog)
    EVT_BUTTON(res::ctl::kOk, CAboutDlg::OnOK)
wxEND_EVENT_TABLE()

CAboutDlg::CAboutDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, wxString::FromUTF8(res::AboutDialog().caption))
{
    const res::Dialog& t = res::AboutDialog();
    const int margin = ConvertDialogToPixels(wxSize(7, 7)).x;

    auto* row = new wxBoxSizer(wxHORIZONTAL);
    auto* icon = new wxStaticBitmap(this, wxID_ANY, res::IconBitmap(res::kMainIcon, 48));
    SetAccessibleIdAs(icon, -1, "Talvero icon");  // a picture without a label of its own
    row->Add(icon, 0, wxALL, margin);
    row->Add(CreateTemplateLabel(this, t, "Talvero 1.0"), 1, wxTOP | wxRIGHT, margin + margin / 2);
    row->Add(CreateTemplateControl(this, t, res::ctl::kOk), 0, wxALL, margin);
    SetSizer(row);
    SetAffirmativeId(res::ctl::kOk);
    SetEscapeId(res::ctl::kOk);
    TagTemplateControls(this, t);
    SizeToTemplate(this, t);
    CentreOnParent();
}

void CAboutDlg::OnOK(wxCommandEvent&)
{
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK), Hide();
}

}  // namespace talvero
