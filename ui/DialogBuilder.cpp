#include "ui/DialogBuilder.h"

#include <algorithm>
#include <cstring>
#include <memory>

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

namespace talvero {

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

wxRect WorkAreaOf(const wxWindow* window)
{
    const int display = wxDisplay::GetFromWindow(window);
    return wxDisplay(display == wxNOT_FOUND ? 0u : unsigned(display)).GetClientArea();
}

// The room the work area leaves the client area, with the frame as far as it is known: the
// window manager tells it only once the window shows.
wxSize ClientRoom(const wxTopLevelWindow* window)
{
    return WorkAreaOf(window).GetSize() - (window->GetSize() - window->GetClientSize());
}

wxScrolledWindow* ContentScroller(const wxTopLevelWindow* window)
{
    for (wxWindow* child : window->GetChildren())
        if (auto* scroller = dynamic_cast<wxScrolledWindow*>(child)) return scroller;
    return nullptr;
}

wxSize ContentMinSize(const wxTopLevelWindow* window)
{
    const wxScrolledWindow* scroller = ContentScroller(window);
    const wxSizer* sizer = scroller ? scroller->GetSizer() : window->GetSizer();
    return sizer ? const_cast<wxSizer*>(sizer)->GetMinSize() : window->GetClientSize();
}

// Moves the dialog's content, controls and sizer, into a scrolled window that fills it. The
// controls keep their tab order and the focus stays where it was; windows of their own (banners
// owned by the dialog) stay out.
void ScrollContent(wxTopLevelWindow* dialog)
{
    wxWindow* focus = wxWindow::FindFocus();
    wxSizer* content = dialog->GetSizer();
    auto* scroller = new wxScrolledWindow(dialog, wxID_ANY);
    wxWindow* previous = nullptr;
    for (wxWindow* child : wxWindowList(dialog->GetChildren())) {
        if (child == scroller || child->IsTopLevel()) continue;
        // A hidden control outside the layout stays behind: scrolling moves every child, and the
        // toolkit objects to moving hidden ones.
        if (!child->IsShown() && !content->GetItem(child, true)) continue;
        child->Reparent(scroller);
        if (previous) child->MoveAfterInTabOrder(previous);
        previous = child;
    }
    dialog->SetSizer(nullptr, false);
    scroller->SetSizer(content);
    const wxSize step = dialog->ConvertDialogToPixels(wxSize(4, 8));
    scroller->SetScrollRate(step.x, step.y);
    KeepScrollBarsShown(scroller);
    // The window, not its content, says how small it may become.
    scroller->SetMinSize(step);
    auto* whole = new wxBoxSizer(wxVERTICAL);
    whole->Add(scroller, 1, wxEXPAND);
    dialog->SetSizer(whole);
    if (focus && focus != dialog && dialog->IsDescendant(focus)) focus->SetFocus();
}

// Brings the whole window, its frame included, onto the work area: what the content needs
// beyond that scrolls. A resizable window may not become smaller than its content, nor need more
// than the work area to be allowed.
void FitIntoWorkArea(wxTopLevelWindow* window, bool resizable)
{
    const wxSize content = ContentMinSize(window);
    const wxSize room = ClientRoom(window);
    wxSize client = window->GetClientSize();
    client.IncTo(content);
    if (window->GetSizer() && !ContentScroller(window) &&
        (content.x > room.x || content.y > room.y)) {
        ScrollContent(window);
        const int bar = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, window);
        client.IncBy(bar > 0 ? bar : 0);
    }
    if (resizable) {
        wxSize least = content;
        least.DecTo(room);
        window->SetMinClientSize(least);
    }
    client.DecTo(room);
    ResizeClientArea(window, client);
    if (window->IsShown()) {
        const wxRect work = WorkAreaOf(window);
        wxRect outer = window->GetRect();
        const wxPoint was = outer.GetPosition();
        outer.x = std::max(work.x, std::min(outer.x, work.GetRight() + 1 - outer.width));
        outer.y = std::max(work.y, std::min(outer.y, work.GetBottom() + 1 - outer.height));
        if (outer.GetPosition() != was) window->Move(outer.GetPosition());
    }
    window->Layout();
}

// Fits the window again when it first shows, and whenever its frame takes it beyond the work
// area: the window manager tells the frame only after the window shows, and wx, learning it, may
// grow the window by it once more.
void FitWhenShownAndFramed(wxTopLevelWindow* window, bool resizable)
{
    auto shown = std::make_shared<bool>(false);
    window->Bind(wxEVT_SHOW, [window, resizable, shown](wxShowEvent& event) {
        event.Skip();
        if (!event.IsShown() || *shown) return;
        *shown = true;
        FitIntoWorkArea(window, resizable);
    });
    auto framed = std::make_shared<bool>(false);
    window->Bind(wxEVT_SIZE, [window, resizable, shown, framed](wxSizeEvent& event) {
        event.Skip();
        if (!*shown || window->GetSize() == window->GetClientSize()) return;
        const wxSize work = WorkAreaOf(window).GetSize();
        const wxSize outer = window->GetSize();
        if (*framed && outer.x <= work.x && outer.y <= work.y) return;
        *framed = true;
        window->CallAfter([window, resizable] { FitIntoWorkArea(window, resizable); });
    });
}

}  // namespace

void SizeToTemplate(wxTopLevelWindow* dialog, const res::Dialog& t)
{
    const wxSize wanted = dialog->ConvertDialogToPixels(wxSize(t.widthDu, t.heightDu));
    dialog->Fit();
    wxSize client = dialog->GetClientSize();
    client.IncTo(wanted);
    // A large font on a small screen: the window stays on it, and what does not fit scrolls.
    const wxSize room = ClientRoom(dialog);
    if (dialog->GetSizer() && (client.x > room.x || client.y > room.y)) {
        ScrollContent(dialog);
        const int bar = wxSystemSettings::GetMetric(wxSYS_VSCROLL_X, dialog);
        client.IncBy(bar > 0 ? bar : 0);
    }
    client.DecTo(room);
    dialog->SetClientSize(client);
    dialog->Layout();
    FitWhenShownAndFramed(dialog, false);
}

void SizeResizableToTemplate(wxTopLevelWindow* window, const res::Dialog& t)
{
    wxSize client = window->ConvertDialogToPixels(wxSize(t.widthDu, t.heightDu));
    client.IncTo(ContentMinSize(window));
    client.DecTo(ClientRoom(window));
    window->SetClientSize(client);
    window->Layout();
    FitWhenShownAndFramed(window, true);
}

wxSize LeastBoxSizer::CalcMin()
{
    wxSize least;
    for (wxSizerItem* item : GetChildren()) {
        if (!item->IsShown()) continue;
        const wxSize one = item->CalcMin();  // with its border
        SizeInMajorDir(least) += GetSizeInMajorDir(one);
        SizeInMinorDir(least) = std::max(GetSizeInMinorDir(least), GetSizeInMinorDir(one));
    }
    return least;
}

void LeastBoxSizer::RepositionChildren(const wxSize& least)
{
    int proportions = 0;
    for (wxSizerItem* item : GetChildren())
        if (item->IsShown()) proportions += item->GetProportion();
    const int extra = std::max(0, GetSizeInMajorDir(m_size) - GetSizeInMajorDir(least));
    const int room = GetSizeInMinorDir(m_size);
    int major = GetSizeInMajorDir(wxSize(m_position.x, m_position.y));
    int sharedSoFar = 0;
    for (wxSizerItem* item : GetChildren()) {
        if (!item->IsShown()) continue;
        wxSize one = item->GetMinSizeWithBorder();
        if (item->GetProportion() > 0 && proportions > 0) {
            const int before = extra * sharedSoFar / proportions;
            sharedSoFar += item->GetProportion();
            SizeInMajorDir(one) += extra * sharedSoFar / proportions - before;
        }
        wxPoint at = m_position;
        PosInMajorDir(at) = major;
        const int flags = item->GetFlag();
        const bool vertical = m_orient == wxVERTICAL;
        if (flags & wxEXPAND) {
            SizeInMinorDir(one) = room;
        } else if (flags & (vertical ? wxALIGN_RIGHT : wxALIGN_BOTTOM)) {
            PosInMinorDir(at) += room - GetSizeInMinorDir(one);
        } else if (flags & (vertical ? wxALIGN_CENTER_HORIZONTAL : wxALIGN_CENTER_VERTICAL)) {
            PosInMinorDir(at) += (room - GetSizeInMinorDir(one)) / 2;
        }
        item->SetDimension(at, one);
        major += GetSizeInMajorDir(one);
    }
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

}  // namespace talvero
