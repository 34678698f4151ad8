#include "app/gui/TalveroApp.h"

#include <wx/image.h>
#include <wx/snglinst.h>
#include <wx/uilocale.h>
#include <wx/utils.h>

#include <cstdlib>

#include "app/gui/TalveroDlg.h"
#include "res/Templates.h"

namespace talvero {

CTalveroApp::CTalveroApp()
{
    // The window draws nothing with OpenGL, yet the toolkit opens it at start to choose its
    // visuals, and on a machine without a GPU driver that maps a software renderer of some
    // 50 MiB. The toolkit reads this once, while it starts, which is after this constructor; a
    // user's own setting stands.
    if (!std::getenv("GDK_GL")) {
        ::setenv("GDK_GL", "disable", 1);
        unsetGl = true;
    }
}

CTalveroApp::~CTalveroApp() = default;

bool CTalveroApp::OnInit()
{
    // Programs the window starts (a browser, a mail client) choose for themselves.
    if (unsetGl) ::unsetenv("GDK_GL");
    // The program takes no arguments; wxApp::OnInit would reject unknown ones, so it is not
    // called.
    instanceLock = std::make_unique<wxSingleInstanceChecker>();
    if (instanceLock->Create(wxString(kInstanceLockName) + "-" + wxGetUserId()) &&
        instanceLock->IsAnotherRunning()) {
        // A second start ends at once and silently; OnRun returns 0 so the exit status is 0.
        anotherRunning = true;
        return true;
    }
    SetAppName(res::kAppName);
    wxUILocale::UseDefault();
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
    return true;
}

int CTalveroApp::OnRun()
{
    // The dialog runs here rather than in OnInit: returning false from OnInit after the modal
    // run would end the process with status 255.
    if (anotherRunning) return 0;
    CTalveroDlg dlg(nullptr);
    SetTopWindow(&dlg);
    dlg.ShowModal();
    SetTopWindow(nullptr);
    return 0;
}

}  // namespace talvero
