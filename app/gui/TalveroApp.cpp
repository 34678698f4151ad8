#include "app/gui/TalveroApp.h"

#include <wx/image.h>
#include <wx/snglinst.h>
#include <wx/uilocale.h>
#include <wx/utils.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/gui/TalveroDlg.h"
#include "platform/Platform.h"
#include "res/Templates.h"

namespace talvero {

namespace {

// How long a start waits for the running window to carry its actions out: a capture takes
// well under a second, a window that says nothing in this time is stuck.
constexpr int kHandOverTimeoutMs = 5000;

}  // namespace

std::vector<std::string> CTalveroApp::startActions;

int HandOverActions(const std::vector<std::string>& actions, int waitForWindowMs)
{
    std::vector<std::string> asked = actions;
    if (asked.empty()) asked.push_back("show");
    switch (HandOverToRunningWindow(asked, kHandOverTimeoutMs, waitForWindowMs)) {
        case HandOverResult::Done:
            return 0;
        case HandOverResult::NoAnswer:
            std::fputs(
                "talvero: the running Talvero window did not answer; try again when it "
                "responds\n",
                stderr);
            return 1;
        case HandOverResult::NoWindow:
            break;
    }
    return -1;
}

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
    // The command line was read before the toolkit started (main.cpp); wxApp::OnInit would
    // reject the options, so it is not called.
    instanceLock = std::make_unique<wxSingleInstanceChecker>();
    if (instanceLock->Create(wxString(kInstanceLockName) + "-" + wxGetUserId()) &&
        instanceLock->IsAnotherRunning()) {
        // A window started at the same moment takes the bus name once it is up; without a
        // session bus a second start ends silently with status 0.
        anotherRunning = true;
        exitCode = std::max(HandOverActions(startActions, kHandOverTimeoutMs), 0);
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
    if (anotherRunning) return exitCode;
    CTalveroDlg dlg(nullptr);
    SetTopWindow(&dlg);
    // Later starts hand their actions to this window; its own run once it is up.
    std::unique_ptr<ICommandChannel> channel;
    dlg.CallAfter([&dlg, &channel] {
        for (const std::string& action : startActions)
            dlg.RunCommand(action, [] {});
        channel = OpenCommandChannel([&dlg](const std::string& action, std::function<void()> done) {
            dlg.RunCommand(action, std::move(done));
        });
    });
    dlg.ShowModal();
    channel.reset();
    SetTopWindow(nullptr);
    return 0;
}

}  // namespace talvero
