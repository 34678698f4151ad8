#include "app/MessageBox.h"

#include <wx/msgdlg.h>

namespace {

MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}

}  // namespace

int TalveroMessageBox(const wxString& text, const wxString& caption, long style, wxWindow* parent)
{
    if (Hook()) return Hook()(MessageBoxCall{text, caption, style, parent});
    return wxMessageBox(text, caption, style, parent);
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    Hook() = std::move(hook);
}
