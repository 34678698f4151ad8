// The main window's keyboard: Control+Enter translates from the input box, Enter on a near-list
// entry does what its double-click does, a long entry shows whole in a tooltip, and Tab moves
// through the window in reading order. The input and the local result show three lines of the
// text boxes' default font, with a scroll bar for more.
#include <wx/dcclient.h>
#include <wx/font.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>

#include "app/gui/TalveroDlg.h"
#include "res/Ids.h"
#include "ui/GtkTweaks.h"

namespace talvero {

namespace {
using namespace res::ctl;

bool IsEnter(const wxKeyEvent& event)
{
    return event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER;
}
}  // namespace

void CTalveroDlg::SetUpKeys()
{
    // Enter alone keeps inserting a line break in the input.
    input->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& event) {
        if (IsEnter(event) && event.GetModifiers() == wxMOD_CONTROL) {
            Translate();
            return;
        }
        event.Skip();
    });
    nearList->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& event) {
        if (IsEnter(event) && !event.HasAnyModifiers() && nearList->GetSelection() != wxNOT_FOUND) {
            wxCommandEvent open(wxEVT_LISTBOX_DCLICK, kNearList);
            OnNearListDoubleClick(open);
            return;
        }
        event.Skip();
    });
    nearList->Bind(wxEVT_MOTION, [this](wxMouseEvent& event) {
        event.Skip();
        const int item = nearList->HitTest(event.GetPosition());
        const wxString text = item == wxNOT_FOUND ? wxString() : nearList->GetString(item);
        // Only an entry wider than the list needs the tooltip.
        const bool cut = !text.empty() &&
                         nearList->GetTextExtent(text).x > nearList->GetClientSize().x - FromDIP(8);
        if (!cut) {
            if (nearList->GetToolTip()) nearList->UnsetToolTip();
        } else if (nearList->GetToolTipText() != text) {
            nearList->SetToolTip(text);
        }
    });

    // Reading order: the input and its buttons, the engine rows, the near list, the additions,
    // the speech side (history, hypothesis, dictation, voice), then the window's own buttons.
    // Controls inside a group follow their group box.
    const int order[] = {kInput,
                         kTranslate,
                         kClear,
                         kSetDelay,
                         kAutoTranslate,
                         kUseGoogle,
                         kGooglePair,
                         kGoogleResult,
                         kSpeakGoogle,
                         kAddGoogle,
                         kUseBabelfish,
                         kBabelfishPair,
                         kBabelfishResult,
                         kSpeakBabelfish,
                         kAddBabelfish,
                         kUseFreeTranslation,
                         kFreeTranslationPair,
                         kFreeTranslationResult,
                         kSpeakFreeTranslation,
                         kAddFreeTranslation,
                         kUseLocal,
                         kLocalPair,
                         kLocalResult,
                         kSpeakLocal,
                         kNearSearch,
                         kNearList,
                         kNewText,  // its group box
                         kClearHistory,
                         kHistory,
                         kTranslateHistorySelection,
                         kHypothesis,
                         kTranslateHypothesis,
                         kRecognition,  // the dictation group
                         kVoiceName,    // the voice group
                         kOptions,
                         res::kWindowMenuButton,
                         kExit};
    wxClientDC dc(this);
    dc.SetFont(TextBoxFont(Settings().fontSize));
    // Three lines of the text-box font at least, however small the window is made.
    const int threeLines = 3 * dc.GetCharHeight();
    for (wxTextCtrl* box : {input, resultBoxes[3]})
        box->SetMinSize(wxSize(box->GetMinSize().x, std::max(box->GetMinSize().y, threeLines)));
    // A long web translation is as likely as a long local one.
    for (wxTextCtrl* box : {input, resultBoxes[0], resultBoxes[1], resultBoxes[2], resultBoxes[3]})
        ShowScrollBarWhenNeeded(box);
    Layout();

    wxWindow* previous = nullptr;
    for (int id : order) {
        wxWindow* w = FindWindow(id);
        if (!w) continue;
        // A control inside a group box moves with its box.
        while (w->GetParent() && w->GetParent() != this)
            w = w->GetParent();
        if (previous && w != previous) w->MoveAfterInTabOrder(previous);
        previous = w;
    }
}

}  // namespace talvero
