#pragma once
// Selection changes of a multi-line text control: wx has no event for them, so the platform's
// text buffer is watched directly (GTK: the "mark-set" signal of the insert and selection marks).
#include <functional>
#include <memory>

class wxTextCtrl;

namespace talvero {

// Watching lasts as long as this object: destroy it before the window whose members `onChange`
// uses (keep it as a member of that window), because the toolkit moves the marks while it takes
// the control down and would call into a window half destroyed.
class SelectionWatch {
public:
    SelectionWatch() = default;
    SelectionWatch(SelectionWatch&& other) noexcept;
    SelectionWatch& operator=(SelectionWatch&& other) noexcept;
    ~SelectionWatch();
    void Stop();

private:
    friend SelectionWatch WatchSelectionChanges(wxTextCtrl*, std::function<void()>);
    void* buffer = nullptr;  // the toolkit's text buffer, referenced while watched
    unsigned long handler = 0;
};

// Calls `onChange` for each move of the caret or of the selection's other end. It runs inside
// the toolkit's signal: it must not run a nested event loop (post work with CallAfter instead).
[[nodiscard]] SelectionWatch WatchSelectionChanges(wxTextCtrl* text,
                                                   std::function<void()> onChange);

}  // namespace talvero
