#include "app/gui/UiTask.h"

#include <wx/app.h>

namespace talvero {

PostToOwner UiTasks::Poster() const
{
    std::weak_ptr<char> owner = life;
    return [owner](std::function<void()> f) {
        // Queued to the application, not to the window: an event queued to a window that is
        // destroyed meanwhile would be dropped with it, but this one checks for itself.
        if (wxAppConsole* app = wxAppConsole::GetInstance())
            app->CallAfter([owner, f = std::move(f)] {
                if (owner.lock()) f();
            });
    };
}

void UiTasks::Drop()
{
    life.reset();
    workers.StopAndJoin();
}

}  // namespace talvero
