#pragma once
// Selection changes of a multi-line text control: wx has no event for them, so the platform's
// text buffer is watched directly (GTK: the "mark-set" signal of the insert and selection marks).
#include <functional>

class wxTextCtrl;

// Calls `onChange` for each move of the caret or of the selection's other end. It runs inside
// the toolkit's signal: it must not run a nested event loop (post work with CallAfter instead).
void WatchSelectionChanges(wxTextCtrl* text, std::function<void()> onChange);
