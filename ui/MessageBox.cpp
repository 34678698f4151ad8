#include "ui/MessageBox.h"

#include <wx/button.h>
#include <wx/msgdlg.h>  // declares the base of the generic dialog
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "ui/Accessibility.h"

namespace talvero {

namespace {

MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}

// The toolkit's own message dialog shows no icon on this desktop and leaves its buttons without
// ids a screen reader could find. This one draws the icon and tags the buttons with the command
// ids of a message box: 1 OK, 2 Cancel, 6 Yes, 7 No.
class TaggedMessageDialog : public wxGenericMessageDialog {
public:
    TaggedMessageDialog(wxWindow* parent, const wxString& text, const wxString& caption, long style)
        : wxGenericMessageDialog(parent, text, caption, style), iconStyle(style & wxICON_MASK)
    {
        // The controls exist once the dialog is about to show.
        Bind(wxEVT_INIT_DIALOG, [this](wxInitDialogEvent& event) {
            MarkAsAlert(this);
            Tag(this);
            event.Skip();
        });
    }

private:
    void Tag(wxWindow* window)
    {
        for (wxWindow* child : window->GetChildren()) {
            if (dynamic_cast<wxButton*>(child)) {
                switch (child->GetId()) {
                    case wxID_OK:
                        SetAccessibleIdAs(child, 1);
                        break;
                    case wxID_CANCEL:
                        SetAccessibleIdAs(child, 2);
                        break;
                    case wxID_YES:
                        SetAccessibleIdAs(child, 6);
                        break;
                    case wxID_NO:
                        SetAccessibleIdAs(child, 7);
                        break;
                    default:
                        break;
                }
            } else if (dynamic_cast<wxStaticBitmap*>(child)) {
                // The icon has no label: name it after what it tells.
                SetAccessibleIdAs(child, -1, IconName());
            }
            Tag(child);
        }
    }

    wxString IconName() const
    {
        if (iconStyle & wxICON_ERROR) return "Error";
        if (iconStyle & wxICON_WARNING) return "Warning";
        if (iconStyle & wxICON_QUESTION) return "Question";
        return "Information";
    }

    long iconStyle;
};

}  // namespace

int TalveroMessageBox(const wxString& text, const wxString& captionIn, long style, wxWindow* parent)
{
    // A box asked for without a caption gets the one the system gives such boxes: an untitled
    // window is announced as nothing by a screen reader.
    const wxString caption = captionIn.empty() ? wxString(kDefaultMessageBoxCaption) : captionIn;
    if (Hook()) return Hook()(MessageBoxCall{text, caption, style, parent});
    // As wxMessageBox: an icon unless one was chosen or explicitly refused.
    if (!(style & wxICON_NONE) && !(style & wxICON_MASK))
        style |= (style & wxYES) ? wxICON_QUESTION : wxICON_INFORMATION;
    TaggedMessageDialog dialog(parent, text, caption, style);
    switch (dialog.ShowModal()) {
        case wxID_OK:
            return wxOK;
        case wxID_YES:
            return wxYES;
        case wxID_NO:
            return wxNO;
        default:
            return wxCANCEL;
    }
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    Hook() = std::move(hook);
}

}  // namespace talvero
