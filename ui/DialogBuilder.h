#pragma once
// Builds dialog controls from the control tables in res/Resources.h, so that ids, kinds, texts
// and hidden states come from one place.
#include <functional>
#include <string>

#include <wx/sizer.h>
#include <wx/string.h>

#include "res/Templates.h"
#include "ui/Control.h"

class wxTopLevelWindow;
class wxWindow;
class wxStaticText;

namespace talvero {

// Creates control `id` of `dialog` as a child of `parent` (hidden when the table says so).
wxWindow* CreateTemplateControl(wxWindow* parent, const res::Dialog& dialog, int id);

// The same as the kind the caller builds it for: a table that makes another kind stops here with
// the id, as a lookup of the wrong kind does.
template <class T>
T* CreateTemplateControl(wxWindow* parent, const res::Dialog& dialog, int id)
{
    return ControlAs<T>(CreateTemplateControl(parent, dialog, id), id);
}

// Creates the label of `dialog` whose text is `text` (which must be in the table).
wxStaticText* CreateTemplateLabel(wxWindow* parent, const res::Dialog& dialog, const char* text);

// Gives every control of the table that exists under `window` its accessible id and name.
void TagTemplateControls(wxWindow* window, const res::Dialog& dialog);

// Sizes a dialog laid out by a sizer: its template's size in dialog units (which follow the
// desktop's dialog font), grown where the content needs more, and no larger than the screen's
// work area, its frame counted once the window manager has drawn it; what does not fit scrolls.
void SizeToTemplate(wxTopLevelWindow* dialog, const res::Dialog& t);

// The same for a window that the user may resize and maximize: it may not become smaller than
// its content (nor need more than the work area to be allowed). Its content moves into a
// scrolled window only when it is first shown and does not fit, so that a tab order arranged
// after the layout goes with it.
void SizeResizableToTemplate(wxTopLevelWindow* window, const res::Dialog& t);

// A box sizer whose growing items share out only the space beyond everybody's least size, by
// their proportions. The toolkit's own gives each its share of the whole, which on a small screen
// is less than some items need, and so makes each growing item's least size as large as its
// share: a window laid out with it cannot become smaller than that.
class LeastBoxSizer : public wxBoxSizer {
public:
    using wxBoxSizer::wxBoxSizer;
    wxSize CalcMin() override;
    void RepositionChildren(const wxSize& least) override;
};

// Conversions at the edges between wx text and the program's code-page phrases.
std::string ToPhrase(const wxString& text);
wxString FromPhrase(const std::string& phrase);

// Enter in `dialog` presses the focused button, or else runs `confirm`, and goes no further: left
// to travel on, the key reached the dialog's parent (the main window) too and pressed its
// default button there.
void KeepEnterInDialog(wxWindow* dialog, std::function<void()> confirm);

}  // namespace talvero
