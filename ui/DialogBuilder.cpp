#include "ui/DialogBuilder.h"

#include <cstring>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/display.h>
#include <wx/listbox.h>
#include <wx/log.h>
#include <wx/scrolwin.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

#include "base/CodePage.h"
#include "ui/Accessibility.h"
#include "ui/GtkTweaks.h"

wxWindow* CreateTemplateControl(wxWindow* parent, const res::Dialog& dialog, int id)
{
    const res::Control* c = res::FindControl(dialog, id);
    wxCHECK_MSG(c, nullptr, "control missing from its dialog's table");
    const wxString text = wxString::FromUTF8(c->text);
    wxWindow* w = nullptr;
    using K = res::Kind;
    switch (c->kind) {
        case K::Edit:
            w = new wxTextCtrl(parent, id);
            break;
        case K::ReadOnlyEdit:
            w = new wxTextCtrl(parent, id, "", {}, {}, wxTE_READONLY);
            break;
        case K::PasswordEdit:
            w = new wxTextCtrl(parent, id, "", {}, {}, wxTE_PASSWORD);
            break;
        case K::MultiEdit:
            w = new wxTextCtrl(parent, id, "", {}, {}, wxTE_MULTILINE);
            break;
        case K::ReadOnlyMulti:
            w = new wxTextCtrl(parent, id, "", {}, {}, wxTE_MULTILINE | wxTE_READONLY);
            break;
        case K::RichEdit:
            w = new wxTextCtrl(parent, id, "", {}, {}, wxTE_MULTILINE | wxTE_RICH2);
            break;
        case K::ReadOnlyRich:
            w = new wxTextCtrl(parent, id, "", {}, {}, wxTE_MULTILINE | wxTE_RICH2 | wxTE_READONLY);
            break;
        case K::Button:
            w = new wxButton(parent, id, text);
            break;
        case K::DefaultButton: {
            auto* b = new wxButton(parent, id, text);
            b->SetDefault();
            w = b;
            break;
        }
        case K::Check:
            w = new wxCheckBox(parent, id, text);
            break;
        case K::DropList:
            w = new wxChoice(parent, id);
            break;
        case K::SortedDropList:
            w = new wxChoice(parent, id, {}, {}, 0, nullptr, wxCB_SORT);
            break;
        case K::DropDown:
            w = new wxComboBox(parent, id);
            break;
        case K::SortedListBox:
            w = new wxListBox(parent, id, {}, {}, 0, nullptr, wxLB_SINGLE | wxLB_SORT);
            break;
        case K::Trackbar:
            w = new wxSlider(parent, id, 0, 0, 100);
            break;
        case K::Label:
        case K::Group:
        case K::Icon:
            wxFAIL_MSG("labels, groups and icons have no id");
            return nullptr;
    }
    if (c->hidden) w->Hide();
    return w;
}

wxStaticText* CreateTemplateLabel(wxWindow* parent, const res::Dialog& dialog, const char* text)
{
    bool known = false;
    for (const res::Control& c : dialog.controls)
        if (c.kind == res::Kind::Label && std::strcmp(c.text, text) == 0) known = true;
    wxASSERT_MSG(known, "label missing from its dialog's table");
    (void)known;
    return new wxStaticText(parent, wxID_ANY, wxString::FromUTF8(text));
}

void TagTemplateControls(wxWindow* window, const res::Dialog& dialog)
{
    for (const res::Control& c : dialog.controls) {
        if (c.id < 0) continue;
        wxWindow* w = window->FindWindow(c.id);
        if (!w) continue;
        SetAccessibleId(w, c.name ? wxString::FromUTF8(c.name) : wxString());
    }
}

namespace {

// Moves the dialog's content, controls and sizer, into a scrolled window that fills it.
void ScrollContent(wxTopLevelWindow* dialog)
{
    auto* scroller = new wxScrolledWindow(dialog, wxID_ANY);
    for (wxWindow* child : wxWindowList(dialog->GetChildren()))
        if (child != scroller) child->Reparent(scroller);
    wxSizer* content = dialog->GetSizer();
    dialog->SetSizer(nullptr, false);
    scroller->SetSizer(content);
    const wxSize step = dialog->ConvertDialogToPixels(wxSize(4, 8));
    scroller->SetScrollRate(step.x, step.y);
    KeepScrollBarsShown(scroller);
    auto* whole = new wxBoxSizer(wxVERTICAL);
    whole->Add(scroller, 1, wxEXPAND);
    dialog->SetSizer(whole);
}

}  // namespace

void SizeToTemplate(wxTopLevelWindow* dialog, const res::Dialog& t)
{
    const wxSize wanted = dialog->ConvertDialogToPixels(wxSize(t.widthDu, t.heightDu));
    dialog->Fit();
    wxSize client = dialog->GetClientSize();
    client.IncTo(wanted);
    // A large font on a small screen: the window stays on it, and what does not fit scrolls.
    const int display = wxDisplay::GetFromWindow(dialog);
    const wxRect work = wxDisplay(display == wxNOT_FOUND ? 0u : unsigned(display)).GetClientArea();
    const wxSize frame = dialog->GetSize() - dialog->GetClientSize();
    const wxSize room = work.GetSize() - frame;
    if (dialog->GetSizer() && (client.x > room.x || client.y > room.y)) {
        ScrollContent(dialog);
        const int bar = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, dialog);
        client.IncBy(bar > 0 ? bar : 0);
    }
    client.DecTo(room);
    dialog->SetClientSize(client);
    dialog->Layout();
}

std::string ToPhrase(const wxString& text)
{
    const wxScopedCharBuffer utf8 = text.utf8_str();
    return Utf8ToCodePage(std::string_view(utf8.data(), utf8.length()));
}

wxString FromPhrase(const std::string& phrase)
{
    return wxString::FromUTF8(CodePageToUtf8(phrase));
}

void KeepEnterInDialog(wxWindow* dialog, std::function<void()> confirm)
{
    dialog->Bind(wxEVT_CHAR_HOOK, [confirm](wxKeyEvent& event) {
        if ((event.GetKeyCode() != WXK_RETURN && event.GetKeyCode() != WXK_NUMPAD_ENTER) ||
            event.HasAnyModifiers()) {
            event.Skip();
            return;
        }
        if (auto* button = dynamic_cast<wxButton*>(wxWindow::FindFocus())) {
            wxCommandEvent click(wxEVT_BUTTON, button->GetId());
            click.SetEventObject(button);
            button->GetEventHandler()->ProcessEvent(click);
            return;
        }
        confirm();
    });
}
